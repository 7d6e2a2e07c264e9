#include "bench/appserver/direct.h"

namespace krt::bench {

QString describe(CancelWay way)
{
    switch (way) {
    case CancelWay::TemporaryTable:
        return QStringLiteral("set-based, same checks, keys in a temporary table");
    case CancelWay::ArrayParameter:
        return QStringLiteral("set-based, same checks, keys in an array parameter");
    case CancelWay::KeyByKey:
        return QStringLiteral("key by key, changes only");
    }
    return {};
}

bool isSetBased(CancelWay way)
{
    return way != CancelWay::KeyByKey;
}

} // namespace krt::bench
