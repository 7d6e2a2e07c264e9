#pragma once

#include <QString>

class TDataSet;
class TDataSource;

// Modal pick list over the rows of `source`: writes the chosen rows' keyField
// values into `list` ('a','b'); cancel leaves `list` as it was. The title may
// carry, after a '|', the text shown when the source has no rows. singlePick:
// one row only, and the data set is left on it (lookup buttons); otherwise
// the user checks any number of rows.
bool PesquisaLista(TDataSource* source, const QString& keyField, const QString& title,
                   bool singlePick, QString& list);

// Modal search (field + value) that positions the data set on the match.
bool Procura(TDataSet* dataSet);
