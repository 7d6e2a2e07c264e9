#pragma once

#include "framework/wire/variant.h"

#include <QList>
#include <QString>
#include <utility>

class TNetConnection;

namespace krt {

// One server call as the screens make it: `method` called by name on the
// connection's late-bound handle, the raw result passed through
// CheckResultServ(result, true, 0). Any failure throws EKrtError.
Variant callChecked(TNetConnection* connection, const QString& method,
                    const QList<Variant>& args = {});

// The same through a method's declaration (krt::api::getPrincipal and the
// like): the arguments must be of the kinds it declares, in its order, and
// the result comes back as its kind (a packet, an array of packets, a
// boolean), checked against the declared shape.
template <class Method, class... A>
typename Method::Result::Value callChecked(TNetConnection* connection, const Method& method,
                                           A&&... args)
{
    return method.read(callChecked(connection, QString::fromLatin1(method.name),
                                   method.arguments(std::forward<A>(args)...)));
}

} // namespace krt
