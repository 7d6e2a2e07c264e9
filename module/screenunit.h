#pragma once

#include "module/krt52600export.h"

#include <QString>

class TfrmCancelaConsoli;

// Module-level state of the screen unit, shared with the filter dialog.

// The open screen; not reset when the screen closes (boIdCriado says whether it may be reused).
extern KRT52600_EXPORT TfrmCancelaConsoli* frmCancelaConsoli;
// A screen instance exists and has not been closed since.
extern KRT52600_EXPORT bool boIdCriado;
// The next activation of the screen is its first.
extern KRT52600_EXPORT bool boPrimVez;
// Text flag sent to the server for a Boolean: [false] "N", [true] "S".
extern KRT52600_EXPORT QString stFilBool[2];
extern KRT52600_EXPORT QString stCdAlmox;
extern KRT52600_EXPORT QString stCdLocal;

// Opens the cancellation screen: creates it once, shows it in normal size.
extern "C" KRT52600_EXPORT void CriaCancelaConsoli();

// Start-up and closing work of the screen unit (run by the module's load protocol).
void Cli_krt52600_Initialization();
void Cli_krt52600_Finalization();
