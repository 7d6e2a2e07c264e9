#pragma once

#include "shared/krt52600export.h"

// Opens the cancellation screen: creates it once, shows it in normal size.
extern "C" KRT52600_EXPORT void CriaCancelaConsoli();

// Start-up and closing work of the screen unit (run by the module's load protocol).
void Cli_krt52600_Initialization();
void Cli_krt52600_Finalization();
