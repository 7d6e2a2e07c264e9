#pragma once

#include "framework/core/hostservices.h"

#include <QList>
#include <QQueue>
#include <QStringList>
#include <functional>

namespace krt {

// Host services for automated tests: every question is answered from a queue
// that the test filled beforehand, every message and error is recorded, and
// nothing ever blocks. A question that finds its queue empty is a broken test:
// it is reported through onUnscripted (the test framework's failure) and gets
// the "negative" answer (No/Cancel, nothing picked, dialog rejected).
class ScriptedHostServices : public IHostServices
{
public:
    struct Shown
    {
        enum Kind
        {
            Error,
            Message
        };
        Kind kind;
        QString text;
        TMsgDlgType type = mtError;
        TMsgDlgButtons buttons;
        int helpCtx = 0;
    };

    struct PickCall
    {
        TDataSource* source;
        QString keyField;
        QString title;
        bool singlePick;
        QString listBefore;
    };

    struct BusyChange
    {
        int depth;
        int kind;
    };

    // Answer of a pick list: return true and write `list`, or return false.
    using PickAnswer = std::function<bool(TDataSource* source, const QString& keyField,
                                          bool singlePick, QString& list)>;
    using SearchAnswer = std::function<bool(TDataSet* dataSet)>;
    using ModalDriver = std::function<int(QDialog& dialog)>;

    ScriptedHostServices();
    ~ScriptedHostServices() override;

    // Installs itself as the host services for its lifetime (restores the
    // previous ones when destroyed).
    void install();

    // --- scripting ---
    void answerMessage(TModalResult result) { m_messageAnswers.enqueue(result); }
    void answerPick(PickAnswer answer) { m_pickAnswers.enqueue(std::move(answer)); }
    // Confirms the pick list with these key values (for a single pick the data
    // set is positioned on the row whose key field holds keys.first()).
    void answerPickKeys(const QStringList& keys);
    void answerPickCancel();
    void answerSearch(SearchAnswer answer) { m_searchAnswers.enqueue(std::move(answer)); }
    // The search finds the record at this 0-based row (-1: finds nothing).
    void answerSearchRow(int row);
    void driveModal(ModalDriver driver) { m_modalDrivers.enqueue(std::move(driver)); }
    void setOnUnscripted(std::function<void(const QString& what)> handler)
    {
        m_onUnscripted = std::move(handler);
    }
    void setMdiArea(QMdiArea* area) { m_mdiArea = area; }
    void setMainWindow(QWidget* window) { m_mainWindow = window; }

    // --- records ---
    const QList<Shown>& shown() const { return m_shown; }
    QStringList errors() const;
    QStringList messages() const;
    // The messages of one type (questions: mtConfirmation, results: mtInformation).
    QStringList messages(TMsgDlgType type) const;
    const QList<PickCall>& pickCalls() const { return m_pickCalls; }
    const QList<TDataSet*>& searchCalls() const { return m_searchCalls; }
    const QList<BusyChange>& busyChanges() const { return m_busy; }
    int modalCount() const { return m_modalCount; }
    QStringList unscripted() const { return m_unscripted; }
    // True when every scripted answer was used.
    bool allAnswersUsed() const;
    void clearRecords();

    // --- IHostServices ---
    void showError(const QString& text) override;
    TModalResult messageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons,
                            int helpCtx) override;
    bool pickList(TDataSource* source, const QString& keyField, const QString& title,
                  bool singlePick, QString& list) override;
    bool search(TDataSet* dataSet) override;
    int execModal(QDialog& dialog) override;
    void busyChanged(int depth, int kind) override;
    QMdiArea* mdiArea() override { return m_mdiArea; }
    QWidget* mainWindow() override { return m_mainWindow; }

private:
    void failUnscripted(const QString& what);

    QQueue<TModalResult> m_messageAnswers;
    QQueue<PickAnswer> m_pickAnswers;
    QQueue<SearchAnswer> m_searchAnswers;
    QQueue<ModalDriver> m_modalDrivers;
    std::function<void(const QString&)> m_onUnscripted;

    QList<Shown> m_shown;
    QList<PickCall> m_pickCalls;
    QList<TDataSet*> m_searchCalls;
    QList<BusyChange> m_busy;
    QStringList m_unscripted;
    int m_modalCount = 0;

    QMdiArea* m_mdiArea = nullptr;
    QWidget* m_mainWindow = nullptr;
    IHostServices* m_previous = nullptr;
    bool m_installed = false;
};

} // namespace krt
