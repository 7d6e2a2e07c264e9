#pragma once

#include "shared/krt52600export.h"

#include <QPointer>
#include <QString>

class TfrmCancelaConsoli;

// Module-level state shared by the screen, the filter dialog and the entry
// points. It sits below all three, so each of them includes it downwards.

// The open screen. Guarded: null once the screen has closed or been
// destroyed, and after the module's closing work (which destroys a screen
// still open, since its code goes away with the module).
extern KRT52600_EXPORT QPointer<TfrmCancelaConsoli> frmCancelaConsoli;
// A screen instance exists and has not been closed since.
extern KRT52600_EXPORT bool boIdCriado;
// The next activation of the screen is its first.
extern KRT52600_EXPORT bool boPrimVez;
// Text flag sent to the server for a Boolean: [false] "N", [true] "S".
extern KRT52600_EXPORT QString stFilBool[2];
extern KRT52600_EXPORT QString stCdAlmox;
extern KRT52600_EXPORT QString stCdLocal;
