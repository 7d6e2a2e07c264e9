#pragma once

#include "framework/wire/variant.h"

#include <QList>
#include <QString>

class TNetConnection;

namespace krt {

// One server call as the screens make it: `method` called by name on the
// connection's late-bound handle, the raw result passed through
// CheckResultServ(result, true, 0). Any failure throws EKrtError.
Variant callChecked(TNetConnection* connection, const QString& method,
                    const QList<Variant>& args = {});

} // namespace krt
