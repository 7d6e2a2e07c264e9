#include "framework/core/hostservices.h"

#include "framework/widgets/qthostservices.h"

namespace krt {

namespace {
IHostServices* g_services = nullptr;
} // namespace

IHostServices& hostServices()
{
    if (g_services)
        return *g_services;
    static QtHostServices interactive;
    return interactive;
}

void setHostServices(IHostServices* services)
{
    g_services = services;
}

IHostServices* installedHostServices()
{
    return g_services;
}

} // namespace krt
