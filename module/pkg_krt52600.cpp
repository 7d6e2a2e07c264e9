#include "module/pkg_krt52600.h"

#include "filter/filtro.h"
#include "framework/core/handlerboundary.h"
#include "module/screenunit.h"

#include <QtDebug>

namespace {

// Where the units stand in this load of the module. Both start false each
// time the library is mapped, so a reloaded module runs its units again.
bool unitsStarted = false;
bool unitsFinished = false;

// The host calls the entry points through a C interface, which no exception
// may cross: each runs behind the framework's exception boundary, which
// reports a failure through the host's services as it does a handler's.
void runEntryPoint(const char* name, void (*work)()) noexcept
{
    try {
        krt::invokeHandler(name, work);
    } catch (...) {
        // Only the boundary itself failing (out of memory) gets here.
        qWarning("krt52600: %s failed and its failure could not be reported", name);
    }
}

void startUnits()
{
    // Once per load; a module finished and loaded again while its library
    // stayed mapped (the host is not its only user) starts again.
    if (unitsStarted && !unitsFinished)
        return;
    unitsStarted = true;
    unitsFinished = false;
    Cli_krt52601_Initialization();
    Cli_krt52600_Initialization();
}

void finishUnits()
{
    if (!unitsStarted || unitsFinished)
        return;
    unitsFinished = true;
    Cli_krt52600_Finalization();
    Cli_krt52601_Finalization();
}

} // namespace

extern "C" void Initialize() noexcept
{
    runEntryPoint("Initialize", startUnits);
}

extern "C" void Finalize() noexcept
{
    runEntryPoint("Finalize", finishUnits);
}

extern "C" void IniProc() noexcept
{
    runEntryPoint("IniProc", CriaCancelaConsoli);
}
