#include "framework/core/usercontext.h"

namespace krt {

namespace {
UserContext& storage()
{
    static UserContext context;
    return context;
}
} // namespace

const UserContext& userContext()
{
    return storage();
}

void setUserContext(const UserContext& context)
{
    storage() = context;
}

} // namespace krt

QString FiliProc()
{
    return krt::userContext().branch;
}

bool ModuFili()
{
    return krt::userContext().branchFixed;
}

QString DBPict(TPictType kind)
{
    return kind == ptArvoreProduto ? krt::userContext().productTreeMask : QString();
}

QString WebURL()
{
    return krt::userContext().webUrl;
}

int WebPort()
{
    return krt::userContext().webPort;
}

void Trad(QWidget*) {}
