#include "framework/core/errors.h"
#include "framework/forms/frmpadraogrid.h"
#include "framework/forms/gridexport.h"
#include "framework/widgets/maskedit.h"
#include "tests/core/scriptedtest.h"

#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QPointer>
#include <QTabBar>
#include <QTest>

namespace {

// A screen that records its events.
class RecordingScreen : public TfrmPadraoGrid
{
public:
    explicit RecordingScreen(QStringList* log, QString name) : m_log(log), m_name(std::move(name))
    {
        edit = new QLineEdit(this);
        addTopPanel(edit);
        mnuFiltrar = new TMenuItem(QStringLiteral("&Filtrar"), this);
        mnuFiltrar->setShortCut(16460);
        mnuManutencao->Add(mnuFiltrar);
        mnuFiltrar->OnClick = [this](QObject* s) {
            *m_log << m_name + ":filtrar:" + (s == mnuFiltrar ? "mnu" : "?");
        };
    }
    void FormCreate(QObject* sender) override
    {
        TfrmPadraoGrid::FormCreate(sender);
        *m_log << m_name + ":create";
        if (failCreate)
            MensErro(QStringLiteral("Não foi possível conectar ao servidor."));
    }
    void FormActivate(QObject*) override { *m_log << m_name + ":activate"; }
    void FormClose(QObject* sender, TCloseAction& action) override
    {
        TfrmPadraoGrid::FormClose(sender, action);
        *m_log << m_name + ":close";
        if (keepOpen)
            action = caNone;
    }

    QLineEdit* edit;
    TMenuItem* mnuFiltrar;
    bool keepOpen = false;
    static inline bool failCreate = false;

private:
    QStringList* m_log;
    QString m_name;
};

struct Host
{
    QMainWindow main;
    QMdiArea* area = new QMdiArea(&main);
    Host(krt::ScriptedHostServices& services)
    {
        main.setCentralWidget(area);
        main.resize(900, 700);
        services.setMdiArea(area);
        services.setMainWindow(&main);
        main.show();
    }
};

} // namespace

using Screens = ScriptedTest;

TEST_F(Screens, ActivateRunsOnEveryActivationOfTheMdiChild)
{
    Host h(host);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&h.main));
    QStringList log;
    auto* a = krt::createForm<RecordingScreen>(&log, QStringLiteral("A"));
    auto* b = krt::createForm<RecordingScreen>(&log, QStringLiteral("B"));
    a->Show();
    b->Show();
    EXPECT_EQ(log, (QStringList{"A:create", "B:create", "A:activate", "B:activate"}));
    log.clear();
    h.area->setActiveSubWindow(a->mdiSubWindow());
    h.area->setActiveSubWindow(b->mdiSubWindow());
    h.area->setActiveSubWindow(a->mdiSubWindow());
    h.area->setActiveSubWindow(a->mdiSubWindow()); // already active: nothing new
    EXPECT_EQ(log, (QStringList{"A:activate", "B:activate", "A:activate"}));
}

TEST_F(Screens, MenuShortcutsReachTheActiveScreenOnly)
{
    Host h(host);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&h.main));
    QStringList log;
    auto* a = krt::createForm<RecordingScreen>(&log, QStringLiteral("A"));
    auto* b = krt::createForm<RecordingScreen>(&log, QStringLiteral("B"));
    a->Show();
    b->Show();
    h.area->setActiveSubWindow(a->mdiSubWindow());
    a->edit->setFocus();
    log.clear();
    QTest::keyClick(a->edit, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(log, QStringList{"A:filtrar:mnu"});

    h.area->setActiveSubWindow(b->mdiSubWindow());
    b->edit->setFocus();
    log.clear();
    QTest::keyClick(b->edit, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(log, (QStringList{"B:filtrar:mnu"}));
}

TEST_F(Screens, CloseFollowsTheActionChosenByFormClose)
{
    Host h(host);
    QStringList log;
    QPointer<RecordingScreen> s = krt::createForm<RecordingScreen>(&log, QStringLiteral("A"));
    s->Show();
    s->keepOpen = true;
    s->Close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(s.isNull());
    EXPECT_TRUE(s->mdiSubWindow()->isVisible());

    s->keepOpen = false;
    s->sbtFechar->click(); // the close button: the base frees the screen
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(s.isNull());
    EXPECT_EQ(log.count("A:close"), 2);
}

TEST_F(Screens, AFailingFormCreateLeavesNoScreenBehind)
{
    QStringList log;
    RecordingScreen::failCreate = true;
    EXPECT_THROW(krt::createForm<RecordingScreen>(&log, QStringLiteral("A")), EKrtError);
    RecordingScreen::failCreate = false;
    EXPECT_EQ(log, QStringList{"A:create"});
}

TEST_F(Screens, BaseScreenStartsWithItsInheritedPartsInPlace)
{
    QStringList log;
    std::unique_ptr<RecordingScreen> s(krt::createForm<RecordingScreen>(&log, QStringLiteral("A")));
    EXPECT_EQ(s->pgcPadrao->ActivePage(), s->tshPadrao);
    EXPECT_FALSE(s->sbtListagem->isEnabled());
    EXPECT_FALSE(s->mnuExportar->isEnabled());
    EXPECT_EQ(s->mnuOperacao->IndexOf(s->mnuSair), 2);
    EXPECT_EQ(s->msgMensagensPadroes->Msg(QStringLiteral("Conf")),
              QStringLiteral("Confirma operação?"));
    EXPECT_EQ(s->dbgPadrao->DataSource(), s->dtsPadrao);
    s->show(); // the page tabs must get their height although added while hidden
    EXPECT_GT(s->pgcPadrao->tabBar()->height(), 0);

    // Keys that would edit a record are swallowed, the rest pass.
    int key = Qt::Key_Insert;
    s->dbgPadraoKeyDown(s->dbgPadrao, key, {});
    EXPECT_EQ(key, 0);
    key = Qt::Key_Down;
    s->dbgPadraoKeyDown(s->dbgPadrao, key, {});
    EXPECT_EQ(key, int(Qt::Key_Down));
}

TEST_F(Screens, SearchButtonSearchesTheGridInFront)
{
    QStringList log;
    std::unique_ptr<RecordingScreen> s(krt::createForm<RecordingScreen>(&log, QStringLiteral("A")));
    TClientDataSet ds;
    fillCodes(ds, {{"0001", "Centro", ""}});
    s->dtsPadrao->setDataSet(&ds);
    fillCodes(ds, {{"0001", "Centro", ""}, {"0002", "Norte", ""}});
    host.answerSearchRow(1);
    s->sbtProcurar->click();
    ASSERT_EQ(host.searchCalls().size(), 1);
    EXPECT_EQ(host.searchCalls().at(0), &ds);
    EXPECT_EQ(ds.RecNo(), 2);
    EXPECT_EQ(s->dbgPadrao->currentIndex().row(), 1);
}

TEST(GridExport, CsvUsesTheGridColumnsAndQuotesWhatNeedsIt)
{
    TClientDataSet ds;
    fillCodes(ds, {{"0001", "Centro; Sul", "x"}, {"0002", "O \"Norte\"", "y"}});
    TDataSource src(&ds);
    TDBGrid grid;
    grid.setDataSource(&src);
    grid.addColumn(QStringLiteral("CODE"), 0, QStringLiteral("Cód."));
    grid.addColumn(QStringLiteral("NAME"));
    EXPECT_EQ(krt::gridToCsv(&grid), QStringLiteral("Cód.;Nome\r\n0001;\"Centro; Sul\"\r\n"
                                                    "0002;\"O \"\"Norte\"\"\"\r\n"));
}

namespace {

// Like a screen whose first activation puts the focus into its edit panel.
class PanelScreen : public TfrmPadraoGrid
{
public:
    PanelScreen()
    {
        panFiltro = new TPanel(this);
        medFilial = new TMaskEdit(panFiltro);
        addTopPanel(panFiltro);
        panFiltro->setFixedHeight(52);
        panFiltro->OnEnter = [this](QObject*) { log << "enter"; };
        panFiltro->OnExit = [this](QObject*) { log << "exit"; };
    }
    void FormActivate(QObject*) override
    {
        log << "activate";
        if (first) {
            first = false;
            medFilial->setFocus();
        }
    }
    TPanel* panFiltro;
    TMaskEdit* medFilial;
    QStringList log;
    bool first = true;
};

} // namespace

TEST_F(Screens, FocusPutIntoAPanelOnActivationEntersItAndSwitchingScreensDoesNotLeaveIt)
{
    Host h(host);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&h.main));
    auto* a = krt::createForm<PanelScreen>();
    a->Show();
    EXPECT_EQ(QApplication::focusWidget(), a->medFilial);
    EXPECT_EQ(a->log, (QStringList{"activate", "enter"}));

    QStringList other;
    auto* b = krt::createForm<RecordingScreen>(&other, QStringLiteral("B"));
    b->Show();
    b->edit->setFocus();
    h.area->setActiveSubWindow(a->mdiSubWindow());
    EXPECT_EQ(QApplication::focusWidget(), a->medFilial);
    EXPECT_EQ(a->log, (QStringList{"activate", "enter", "activate"}));
}
