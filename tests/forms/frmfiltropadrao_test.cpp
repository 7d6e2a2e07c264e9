#include "framework/core/errors.h"
#include "framework/forms/frmfiltropadrao.h"
#include "tests/core/scriptedtest.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

namespace {

class RecordingDialog : public TfrmFiltroPadrao
{
public:
    explicit RecordingDialog(QStringList* log) : m_log(log)
    {
        sbtConfirma->OnClick = [this](QObject*) {
            *m_log << "confirm";
            if (refuse)
                MensErro(QStringLiteral("Data inicial deve ser informada."));
            Close(mrOk);
        };
    }
    void FormActivate(QObject*) override { *m_log << "activate"; }
    void FormClose(QObject* sender, TCloseAction& action) override
    {
        TfrmFiltroPadrao::FormClose(sender, action);
        *m_log << "close";
        if (freeOnClose)
            action = caFree;
    }
    void sbtCancelClick(QObject* sender) override
    {
        *m_log << "cancel";
        TfrmFiltroPadrao::sbtCancelClick(sender);
        Close(); // as subclasses do after the base handler: no second close
    }

    bool refuse = false;
    bool freeOnClose = false;

private:
    QStringList* m_log;
};

} // namespace

using FilterDialog = ScriptedTest;

TEST_F(FilterDialog, ShowModalActivatesFirstAndConfirmRunsThroughTheBoundary)
{
    QStringList log;
    RecordingDialog dlg(&log);
    dlg.refuse = true;
    host.driveModal([&](QDialog& d) {
        EXPECT_EQ(&d, &dlg);
        EXPECT_EQ(log, QStringList{"activate"}); // filled before the host gets it
        dlg.sbtConfirma->click();                // refused: stays open
        EXPECT_TRUE(dlg.isShowingModal());
        dlg.refuse = false;
        dlg.sbtConfirma->click();
        EXPECT_FALSE(dlg.isShowingModal());
        return dlg.result();
    });
    EXPECT_EQ(dlg.ShowModal(), int(mrOk));
    EXPECT_EQ(log, (QStringList{"activate", "confirm", "confirm", "close"}));
    EXPECT_EQ(host.errors(), QStringList{QStringLiteral("Data inicial deve ser informada.")});
}

TEST_F(FilterDialog, CancelClosesOnceWithCancelAndTheDialogIsKept)
{
    QStringList log;
    QPointer<RecordingDialog> dlg = new RecordingDialog(&log);
    host.driveModal([&](QDialog&) {
        dlg->sbtCancel->click();
        return dlg->result();
    });
    EXPECT_EQ(dlg->ShowModal(), int(mrCancel));
    EXPECT_EQ(log, (QStringList{"activate", "cancel", "close"}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(dlg.isNull()); // caHide: kept for the next opening

    // Shown again: activated again.
    log.clear();
    dlg->freeOnClose = true;
    host.driveModal([&](QDialog&) {
        dlg->Close(mrOk);
        return dlg->result();
    });
    dlg->ShowModal();
    EXPECT_EQ(log, (QStringList{"activate", "close"}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dlg.isNull());
}
