// The screen read through its accessible tree, as a screen reader reads it,
// while its lists load, move, reload with fewer rows and close.
#include "screenfixture.h"

#include "framework/widgets/accessibility.h"
#include "framework/widgets/pagecontrol.h"
#include "tests/support/screenreader.h"

#include <QCheckBox>

namespace {

using krt::Variant;

// `count` detail rows of a data set; the product names tell them apart.
Variant detailRows(const QString& dataSet, const QString& tag, int count)
{
    QList<QVariantList> rows;
    for (int r = 0; r < count; ++r)
        rows << detailRow(dataSet, QStringLiteral("%1 item %2").arg(tag).arg(r + 1));
    return Variant(packetFor(dataSet, rows));
}

class ScreenReading : public ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        krt::installAccessibility();
        server.answer("getPrincipal", Variant(invoices({{"0001", "0000000001"},
                                                        {"0001", "0000000002"},
                                                        {"0001", "0000000003", "A"}})));
        // The first invoice has four lines of each detail, the others one:
        // moving on shrinks the detail lists under a reader.
        server.answer("getItLanctoEst", [](const QList<Variant>& args) {
            const QString tag = args.value(1).asString();
            const int rows = tag.endsWith(QLatin1Char('1')) ? 4 : 1;
            return Variant(QList<Variant>{detailRows(QStringLiteral("cdsItemVenda"), tag, rows),
                                          detailRows(QStringLiteral("cdsItemProduto"), tag, rows),
                                          detailRows(QStringLiteral("cdsItLanctoEst"), tag, rows)});
        });
        server.answer(
            "getRetLanctoEstq",
            Variant(QList<Variant>{Variant(withdrawals({{"0001", "0000000010", "0000000100"},
                                                        {"0001", "0000000011", "0000000101"}})),
                                   Variant(withdrawals({{"0001", "0000000010", "0000000100"}}))}));
        server.answer("getRetItLanctoEst", [](const QList<Variant>& args) {
            const QString tag = args.value(1).asString();
            return detailRows(QStringLiteral("cdsRetItLanctoEst"), tag,
                              tag.endsWith(QLatin1Char('0')) ? 3 : 1);
        });
        screen->resize(689, 418);
        screen->show();
    }

    // Reads the whole screen; every grid of it is a table a reader can ask.
    void read(const char* step)
    {
        SCOPED_TRACE(step);
        EXPECT_EQ(walkLikeAReader(screen, &rowsBefore).size(), 6);
    }

    QHash<QObject*, int> rowsBefore;
};

TEST_F(ScreenReading, EveryStateOfTheListsCanBeReadWhileTheyChange)
{
    read("opened, every list empty");

    screen->CarregaPrincipal();
    ASSERT_EQ(screen->cdsItemVenda->RecordCount(), 4);
    read("invoices and the first one's details");

    screen->qryPrincipal->Next();
    ASSERT_EQ(screen->cdsItemVenda->RecordCount(), 1);
    read("second invoice: the details shrank");

    for (TTabSheet* page : {screen->tshItens, screen->tshItemNota, screen->tshItLanctoEst}) {
        screen->pgcPadrao->SetActivePage(page);
        read("a detail page in front");
    }
    screen->pgcPadrao->SetActivePage(screen->tshPadrao);
    screen->qryPrincipal->First();
    read("back to the first invoice");

    screen->ckbCancRetirada->click();
    screen->CarregaRetiradas();
    read("withdrawals");
    screen->cdsRetLanctoEstq->Next();
    read("second withdrawal: its items shrank");
    screen->ckbCancRetirada->click();

    for (TClientDataSet* list :
         {screen->qryPrincipal, screen->cdsItemVenda, screen->cdsItemProduto,
          screen->cdsItLanctoEst, screen->cdsRetLanctoEstq, screen->cdsRetItLanctoEst})
        list->Close();
    read("every list closed");
}

} // namespace
