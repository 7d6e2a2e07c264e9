#include "framework/data/datapositioning.h"

#include "framework/data/dataset.h"
#include "framework/data/datasource.h"

namespace krt {

bool positionOnKey(TDataSource* source, const QString& keyField, const QString& key)
{
    TDataSet* ds = source ? source->DataSet() : nullptr;
    if (!ds || !ds->Active())
        return false;
    const TField* field = ds->FieldByName(keyField);
    for (int row = 0; row < ds->RecordCount(); ++row) {
        if (field->DisplayTextAt(row) == key || ds->valueAt(row, field).toString() == key)
            return ds->MoveTo(row);
    }
    return false;
}

} // namespace krt
