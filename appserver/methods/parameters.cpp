// Branch defaults, parameters and the accounting-period check.
#include "appserver/db/sql.h"
#include "appserver/methods/accountingperiod.h"
#include "appserver/methods/rdmcancelaconsoli.h"
#include "appserver/methods/rowwriter.h"

namespace krt::app {

Variant RdmCancelaConsoli::serve(const Request<api::getInforPad>& request, const TextArg& filial)
{
    Query q(db_.connection(), QStringLiteral("SELECT CDSERIE FROM INFORPAD WHERE CDFILIAL = ?"));
    q.bindText(filial.value).exec();
    RowWriter out(request);
    out.bind(q);
    while (q.next())
        out.copy("CDSERIE");
    return out.finish();
}

Variant RdmCancelaConsoli::serve(const Request<api::getParamVend>& request, const TextArg& filial)
{
    Query q(db_.connection(),
            QStringLiteral("SELECT P.CDLOJA, P.IDTESESTCONS, L.NMLOJA FROM PARAMVEND P"
                           " LEFT JOIN LOJA L ON L.CDFILIAL = P.CDFILIAL AND L.CDLOJA = P.CDLOJA"
                           " WHERE P.CDFILIAL = ?"));
    q.bindText(filial.value).exec();
    RowWriter out(request);
    out.bind(q);
    while (q.next())
        out.copy("CDLOJA").copy("IDTESESTCONS").copy("NMLOJA");
    return out.finish();
}

Variant RdmCancelaConsoli::serve(const Request<api::getParamFilial>& request, const TextArg& filial)
{
    Query q(db_.connection(),
            QStringLiteral("SELECT IDUTILALMOX, IDUTILLCESTQ, IDCTRLESTQ FROM PARAMFILIAL"
                           " WHERE CDFILIAL = ?"));
    q.bindText(filial.value).exec();
    RowWriter out(request);
    out.bind(q);
    while (q.next())
        out.copy("IDUTILALMOX").copy("IDUTILLCESTQ").copy("IDCTRLESTQ");
    return out.finish();
}

Variant RdmCancelaConsoli::serve(const Request<api::getPeriodoCTBOK>&, const TextArg& filial,
                                 const DayArg& dtInicial, const DayArg& dtFinal)
{
    QSqlDatabase db = db_.connection();
    Transaction tx(db, db_.kind(), Transaction::Mode::Read);
    const bool ok = periodAllowsPostings(db, filial.value, dtInicial.value, dtFinal.value);
    tx.commit();
    return Variant(ok);
}

} // namespace krt::app
