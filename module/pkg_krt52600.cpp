#include "module/pkg_krt52600.h"

#include "filter/filtro.h"
#include "module/screenunit.h"

namespace {

// Where the units stand in this load of the module. Both start false each
// time the library is mapped, so a reloaded module runs its units again.
bool unitsStarted = false;
bool unitsFinished = false;

} // namespace

extern "C" void Initialize()
{
    if (unitsStarted)
        return;
    unitsStarted = true;
    Cli_krt52601_Initialization();
    Cli_krt52600_Initialization();
}

extern "C" void Finalize()
{
    if (!unitsStarted || unitsFinished)
        return;
    unitsFinished = true;
    Cli_krt52600_Finalization();
    Cli_krt52601_Finalization();
}

extern "C" void IniProc()
{
    CriaCancelaConsoli();
}
