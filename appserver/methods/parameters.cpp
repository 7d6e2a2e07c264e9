// Branch defaults, parameters and the accounting-period check.
#include "appserver/db/sql.h"
#include "appserver/methods/accountingperiod.h"
#include "appserver/methods/arguments.h"
#include "appserver/methods/rdmcancelaconsoli.h"
#include "appserver/methods/rowwriter.h"
#include "appserver/methods/shapes.h"

namespace krt::app {

Variant RdmCancelaConsoli::getInforPad(const Variant& filial)
{
    const ArgReader in("getInforPad");
    Query q(db_.connection(), QStringLiteral("SELECT CDSERIE FROM INFORPAD WHERE CDFILIAL = ?"));
    q.bindText(in.text(filial, 1, "filial")).exec();
    RowWriter out(shapes::inforPad());
    while (q.next())
        out.text(q.isNull(0) ? QString() : q.text(0));
    return out.finish();
}

Variant RdmCancelaConsoli::getParamVend(const Variant& filial)
{
    const ArgReader in("getParamVend");
    Query q(db_.connection(),
            QStringLiteral("SELECT P.CDLOJA, P.IDTESESTCONS, L.NMLOJA FROM PARAMVEND P"
                           " LEFT JOIN LOJA L ON L.CDFILIAL = P.CDFILIAL AND L.CDLOJA = P.CDLOJA"
                           " WHERE P.CDFILIAL = ?"));
    q.bindText(in.text(filial, 1, "filial")).exec();
    RowWriter out(shapes::paramVend());
    while (q.next())
        for (int col = 0; col < 3; ++col)
            out.text(q.isNull(col) ? QString() : q.text(col));
    return out.finish();
}

Variant RdmCancelaConsoli::getParamFilial(const Variant& filial)
{
    const ArgReader in("getParamFilial");
    Query q(db_.connection(),
            QStringLiteral("SELECT IDUTILALMOX, IDUTILLCESTQ, IDCTRLESTQ FROM PARAMFILIAL"
                           " WHERE CDFILIAL = ?"));
    q.bindText(in.text(filial, 1, "filial")).exec();
    RowWriter out(shapes::paramFilial());
    while (q.next())
        for (int col = 0; col < 3; ++col)
            out.text(q.isNull(col) ? QString() : q.text(col));
    return out.finish();
}

Variant RdmCancelaConsoli::getPeriodoCTBOK(const Variant& filial, const Variant& dtInicial,
                                           const Variant& dtFinal)
{
    const ArgReader in("getPeriodoCTBOK");
    const QString branch = in.text(filial, 1, "filial");
    const QDate from = in.day(dtInicial, 2, "data inicial");
    const QDate to = in.day(dtFinal, 3, "data final");
    QSqlDatabase db = db_.connection();
    Transaction tx(db, db_.kind(), Transaction::Mode::Read);
    const bool ok = periodAllowsPostings(db, branch, from, to);
    tx.commit();
    return Variant(ok);
}

} // namespace krt::app
