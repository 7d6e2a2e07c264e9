#include "framework/core/lookuproutines.h"

#include "framework/core/hostservices.h"

bool PesquisaLista(TDataSource* source, const QString& keyField, const QString& title,
                   bool singlePick, QString& list)
{
    return krt::hostServices().pickList(source, keyField, title, singlePick, list);
}

bool Procura(TDataSet* dataSet)
{
    return krt::hostServices().search(dataSet);
}
