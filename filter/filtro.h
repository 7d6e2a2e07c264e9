#pragma once

#include "shared/krt52600export.h"

#include <QDate>
#include <QDateTime>
#include <QString>

// The selection the user made in the filter dialog, shared by the screen and
// the dialog. Dates are day counts (whole days since 30/12/1899, the date
// representation of the date edits), flags say "all" when true.
struct KRT52600_EXPORT TFiltro
{
    QString stCdFilial;
    double dtInicial = 0;
    double dtFinal = 0;
    bool boTodosCaixas = false;
    QString stCaixas;
    bool boTodasVendas = false;
    QString stVendas;
    bool boTodosLanctos = false;
    QString stLanctos;
};

// The one filter record; zeroed when the module is loaded.
extern KRT52600_EXPORT TFiltro Filtro;

// A selection as the server takes it: the list text and its one-letter code.
struct KRT52600_EXPORT TSelecao
{
    QString lista;
    QString codigo;
};

// Cash registers: all → empty list with "T"; only the list → the list with "N".
KRT52600_EXPORT TSelecao SelecaoCaixas(bool boTodos, const QString& stLista);
// Sales: all → empty list with "S"; only the list → the list with "N".
KRT52600_EXPORT TSelecao SelecaoVendas(bool boTodas, const QString& stLista);
// The same from what the filter record holds.
KRT52600_EXPORT TSelecao SelecaoCaixas(const TFiltro& filtro);
KRT52600_EXPORT TSelecao SelecaoVendas(const TFiltro& filtro);

// Day count ↔ calendar date. A null date gives 0; 0 gives 30/12/1899.
KRT52600_EXPORT double DateToDayCount(const QDate& date);
KRT52600_EXPORT QDate DayCountToDate(double dayCount);
// The day as the server takes a date: midnight on the wall clock.
KRT52600_EXPORT QDateTime DayCountToDateTime(double dayCount);

// Start-up and closing work of the filter unit (run by the module's load protocol).
void Cli_krt52601_Initialization();
void Cli_krt52601_Finalization();
