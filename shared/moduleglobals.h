#pragma once

#include "shared/krt52600export.h"

#include <QString>

class TfrmCancelaConsoli;

// Module-level state shared by the screen, the filter dialog and the entry
// points. It sits below all three, so each of them includes it downwards.

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
