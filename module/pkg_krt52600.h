#pragma once

#include "shared/krt52600export.h"

// Entry points the host resolves by name after loading the module.
extern "C" {
// Runs the start-up of the module's units (filter unit first), once per load.
KRT52600_EXPORT void Initialize();
// Runs their closing work in the reverse order, once per load.
KRT52600_EXPORT void Finalize();
// Opens the cancellation screen.
KRT52600_EXPORT void IniProc();
}
