#pragma once

#include "shared/krt52600export.h"

// Entry points the host resolves by name after loading the module. None lets
// an exception out: a failure is reported through the host's services.
extern "C" {
// Runs the start-up of the module's units (filter unit first), once per load.
KRT52600_EXPORT void Initialize() noexcept;
// Runs their closing work in the reverse order, once per load.
KRT52600_EXPORT void Finalize() noexcept;
// Opens the cancellation screen.
KRT52600_EXPORT void IniProc() noexcept;
}
