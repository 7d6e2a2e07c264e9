#include "framework/data/lookuproutines.h"

#include "framework/core/hostservices.h"
#include "framework/data/dataset.h"
#include "framework/data/datasource.h"

bool PesquisaLista(TDataSource* source, const QString& keyField, const QString& title,
                   bool singlePick, QString& list)
{
    // A key field the set lacks would hand on a list of empty keys: name it
    // instead (a set with no fields yet has no rows to pick either).
    if (TDataSet* ds = source ? source->DataSet() : nullptr; ds && ds->FieldCount() > 0)
        ds->FieldByName(keyField);
    return krt::hostServices().pickList(source, keyField, title, singlePick, list);
}

bool Procura(TDataSet* dataSet)
{
    return krt::hostServices().search(dataSet);
}
