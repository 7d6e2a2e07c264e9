#include "bench/appserver/direct.h"

namespace krt::bench {

QString describe(CancelWay way)
{
    switch (way) {
    case CancelWay::TemporaryTable:
        return QStringLiteral("set-based, keys in a temporary table");
    case CancelWay::ArrayParameter:
        return QStringLiteral("set-based, keys in an array parameter");
    case CancelWay::KeyByKey:
        return QStringLiteral("key by key");
    }
    return {};
}

bool isSetBased(CancelWay way)
{
    return way != CancelWay::KeyByKey;
}

QByteArray listStatement(bool dollarPlaceholders)
{
    QByteArray sql = "SELECT NF.CDFILIAL, NF.CDCLIENTE, NF.CDFILIALNF, NF.NRLANCTONF, "
                     "C.NMRAZSOCCLIE, NF.DTEMISSAO, NF.NRNOTAFISC, NF.IDSTATUS, NF.DTENTRSAID"
                     " FROM NOTAFISCAL NF LEFT JOIN CLIENTE C ON C.CDCLIENTE = NF.CDCLIENTE"
                     " WHERE NF.CDFILIAL = ? AND NF.CDLOJA = ? AND NF.DTENTRSAID >= ? AND "
                     "NF.DTENTRSAID <= ? AND NF.IDORIGEM = 'C'"
                     " ORDER BY NF.DTENTRSAID, NF.NRLANCTONF";
    if (dollarPlaceholders)
        for (int n = 1; sql.contains('?'); ++n)
            sql.replace(sql.indexOf('?'), 1, "$" + QByteArray::number(n));
    return sql;
}

} // namespace krt::bench
