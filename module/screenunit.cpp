#include "module/screenunit.h"

#include "framework/forms/formtypes.h"
#include "module/screencursor.h"
#include "screen/frmcancelaconsoli.h"
#include "shared/moduleglobals.h"

extern "C" void CriaCancelaConsoli()
{
    // An exception leaves the hourglass and boIdCriado as they are: the
    // cursor comes back with the next successful opening.
    SetScreenCursor(crHourGlass);
    if (!boIdCriado || !frmCancelaConsoli) {
        frmCancelaConsoli = krt::createForm<TfrmCancelaConsoli>();
        boIdCriado = true;
    }
    frmCancelaConsoli->Show();
    frmCancelaConsoli->setWindowState(wsNormal);
    SetScreenCursor(crDefault);
}

void Cli_krt52600_Initialization()
{
    boIdCriado = false;
    // The closing work released the table's texts; a module loaded again
    // while its library stayed mapped (another reference to it) must still
    // send "N"/"S", not empty flags the server refuses.
    stFilBool[false] = QStringLiteral("N");
    stFilBool[true] = QStringLiteral("S");
}

void Cli_krt52600_Finalization()
{
    // The screen's code goes away with the module: a screen still open is
    // destroyed now, which also resets its pointer.
    delete frmCancelaConsoli.data();
    boIdCriado = false;
    stCdLocal.clear();
    stCdAlmox.clear();
    stFilBool[false].clear();
    stFilBool[true].clear();
    // The hourglass set by a failed opening belongs to the module: give it back.
    SetScreenCursor(crDefault);
}
