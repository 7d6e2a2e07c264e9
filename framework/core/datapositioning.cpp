#include "framework/core/datapositioning.h"

namespace krt {

bool positionOnKey(TDataSource*, const QString&, const QString&)
{
    return false;
}

} // namespace krt
