#include "filter/filtro.h"

#include "filter/frmfiltrocancelaconsoli.h"

#include <cmath>

TFiltro Filtro;

namespace {
// Day zero of the day count.
const QDate kDayZero(1899, 12, 30);
} // namespace

TSelecao SelecaoCaixas(bool boTodos, const QString& stLista)
{
    if (boTodos)
        return {QString(), QStringLiteral("T")};
    return {stLista, QStringLiteral("N")};
}

TSelecao SelecaoVendas(bool boTodas, const QString& stLista)
{
    if (boTodas)
        return {QString(), QStringLiteral("S")};
    return {stLista, QStringLiteral("N")};
}

TSelecao SelecaoCaixas(const TFiltro& filtro)
{
    return SelecaoCaixas(filtro.boTodosCaixas, filtro.stCaixas);
}

TSelecao SelecaoVendas(const TFiltro& filtro)
{
    return SelecaoVendas(filtro.boTodasVendas, filtro.stVendas);
}

double DateToDayCount(const QDate& date)
{
    if (!date.isValid())
        return 0;
    return double(kDayZero.daysTo(date));
}

QDate DayCountToDate(double dayCount)
{
    // The fraction is a time of day, which the period never carries.
    return kDayZero.addDays(qint64(std::floor(dayCount)));
}

QDateTime DayCountToDateTime(double dayCount)
{
    return QDateTime(DayCountToDate(dayCount), QTime(0, 0));
}

void Cli_krt52601_Initialization()
{
    // Nothing to do: the record is zeroed when the module is loaded.
}

void Cli_krt52601_Finalization()
{
    // The dialog's code goes away with the module: a dialog still kept is
    // destroyed now, which also resets its pointer.
    delete frmFiltroCancelaConsoli.data();
    // clear() gives the text's storage back.
    Filtro.stCdFilial.clear();
    Filtro.stCaixas.clear();
    Filtro.stVendas.clear();
    Filtro.stLanctos.clear();
}
