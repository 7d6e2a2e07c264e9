#include "framework/net/servercall.h"

#include "framework/core/checkresult.h"
#include "framework/net/netconnection.h"

namespace krt {

Variant callChecked(TNetConnection* connection, const QString& method, const QList<Variant>& args)
{
    return CheckResultServ(connection->AppServer().call(method, args), true, 0);
}

} // namespace krt
