#pragma once

// A cancellation screen in a test: scripted host services, a scripted
// application server on loopback, the user context pointing at it, and the
// module's globals set as the host would leave them.
#include "../core/scriptedtest.h"
#include "../support/fakeappserver.h"

#include "api/packetfields.h"
#include "filter/filtro.h"
#include "framework/core/usercontext.h"
#include "framework/data/clientdataset.h"
#include "framework/forms/formtypes.h"
#include "framework/widgets/maskedit.h"
#include "screen/frmcancelaconsoli.h"
#include "shared/moduleglobals.h"

#include <QDate>
#include <QPointer>

class ScreenTest : public ScriptedTest
{
protected:
    void SetUp() override
    {
        ScriptedTest::SetUp();
        krt::UserContext context;
        context.branch = QStringLiteral("0001");
        context.webUrl = QStringLiteral("127.0.0.1");
        context.webPort = server.port();
        krt::setUserContext(context);

        Filtro = TFiltro{};
        Filtro.stCdFilial = QStringLiteral("0001");
        Filtro.dtInicial = DateToDayCount(QDate(2026, 3, 2));
        Filtro.dtFinal = DateToDayCount(QDate(2026, 3, 6));
        Filtro.boTodosCaixas = true;
        Filtro.boTodasVendas = true;
        Filtro.boTodosLanctos = true;

        screen = krt::createForm<TfrmCancelaConsoli>();
        frmCancelaConsoli = screen;
        boIdCriado = true;
        // The first activation's work has its own tests; these start after it.
        boPrimVez = false;
        screen->medFilial->setText(QStringLiteral("0001"));
        screen->medCdLoja->setText(QStringLiteral("LJ01"));
        host.clearRecords();
    }

    void TearDown() override
    {
        delete screen.data();
        frmCancelaConsoli = nullptr;
        boIdCriado = false;
    }

    FakeAppServer server;
    QPointer<TfrmCancelaConsoli> screen;
};

// Rows of the invoice list: branch, posting number, status.
inline krt::Packet invoices(const QList<QStringList>& rows)
{
    QList<QVariantList> data;
    for (const QStringList& r : rows)
        data.append({r.value(0), QStringLiteral("C01"), r.value(0), r.value(1),
                     QStringLiteral("Cliente ") + r.value(1), QDate(2026, 3, 2),
                     QStringLiteral("NF") + r.value(1), r.value(2, QStringLiteral("P")),
                     QDate(2026, 3, 2), QStringLiteral("NF ") + r.value(1)});
    return packetFor(QStringLiteral("qryPrincipal"), data);
}

// Rows of a withdrawal list: branch, withdrawal number, stock posting number.
inline krt::Packet withdrawals(const QList<QStringList>& rows)
{
    QList<QVariantList> data;
    for (const QStringList& r : rows)
        data.append({r.value(0), r.value(1), r.value(2), QDate(2026, 3, 2)});
    return packetFor(QStringLiteral("cdsRetLanctoEstq"), data);
}

// A detail row of `dataSet` whose product name is `product`.
inline QVariantList detailRow(const QString& dataSet, const QString& product)
{
    QVariantList row;
    for (const krt::FieldDef& f : krt::api::packetFields(dataSet)) {
        if (f.name == "NMPRODUTO")
            row << product;
        else if (f.type == krt::FieldType::String)
            row << QString();
        else if (f.type == krt::FieldType::Float)
            row << 1.0;
        else if (f.type == krt::FieldType::DateTime)
            row << QDate(2026, 3, 2);
        else
            row << QVariant();
    }
    return row;
}

// One detail row whose product name tells which call produced it.
inline krt::Packet detail(const QString& dataSet, const QString& tag)
{
    return packetFor(dataSet, {detailRow(dataSet, tag)});
}

// The three invoice details, each tagged with the invoice's posting number.
inline krt::Variant invoiceDetails(const QString& tag)
{
    return krt::Variant(
        QList<krt::Variant>{krt::Variant(detail(QStringLiteral("cdsItemVenda"), tag)),
                            krt::Variant(detail(QStringLiteral("cdsItemProduto"), tag)),
                            krt::Variant(detail(QStringLiteral("cdsItLanctoEst"), tag))});
}

inline QString productOf(TClientDataSet* ds)
{
    return ds->FieldByName(QStringLiteral("NMPRODUTO"))->AsString();
}

inline krt::Variant day(int d)
{
    return krt::Variant(QDateTime(QDate(2026, 3, d), QTime(0, 0)));
}

// Arguments of a recorded call as readable texts: a text as it is, a date as
// "yyyy-MM-dd", a Boolean as "true"/"false", a packet as "packet:<rows>".
inline QStringList argsText(const FakeAppServer::Call& call)
{
    QStringList out;
    for (const krt::Variant& v : call.args) {
        if (v.isText())
            out << v.asString();
        else if (v.isDateTime())
            out << v.asDateTime().toString(QStringLiteral("yyyy-MM-dd"));
        else if (v.isBool())
            out << (v.asBool() ? QStringLiteral("true") : QStringLiteral("false"));
        else if (v.isPacket())
            out << QStringLiteral("packet:%1").arg(v.asPacket().rowCount());
        else
            out << QStringLiteral("<%1>").arg(v.kindName());
    }
    return out;
}
