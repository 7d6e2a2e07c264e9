#include "framework/data/scriptedhostservices.h"

#include "framework/data/datapositioning.h"
#include "framework/data/dataset.h"
#include "framework/wire/keylist.h"

#include <QDialog>
#include <QtDebug>

namespace krt {

ScriptedHostServices::ScriptedHostServices() = default;

ScriptedHostServices::~ScriptedHostServices()
{
    if (m_installed && installedHostServices() == this)
        setHostServices(m_previous);
}

void ScriptedHostServices::install()
{
    if (m_installed)
        return;
    m_previous = installedHostServices();
    setHostServices(this);
    m_installed = true;
}

void ScriptedHostServices::answerPickKeys(const QStringList& keys)
{
    answerPick(
        [keys](TDataSource* source, const QString& keyField, bool singlePick, QString& list) {
            if (singlePick && !keys.isEmpty())
                positionOnKey(source, keyField, keys.first());
            list = formatKeyList(keys);
            return true;
        });
}

void ScriptedHostServices::answerSearchRow(int row)
{
    answerSearch([row](TDataSet* dataSet) {
        return row >= 0 && dataSet && dataSet->Active() && dataSet->MoveTo(row);
    });
}

void ScriptedHostServices::answerPickCancel()
{
    answerPick([](TDataSource*, const QString&, bool, QString&) { return false; });
}

QStringList ScriptedHostServices::errors() const
{
    QStringList out;
    for (const Shown& s : m_shown) {
        if (s.kind == Shown::Error)
            out << s.text;
    }
    return out;
}

QStringList ScriptedHostServices::messages() const
{
    QStringList out;
    for (const Shown& s : m_shown) {
        if (s.kind == Shown::Message)
            out << s.text;
    }
    return out;
}

QStringList ScriptedHostServices::messages(TMsgDlgType type) const
{
    QStringList out;
    for (const Shown& s : m_shown) {
        if (s.kind == Shown::Message && s.type == type)
            out << s.text;
    }
    return out;
}

bool ScriptedHostServices::allAnswersUsed() const
{
    return m_messageAnswers.isEmpty() && m_pickAnswers.isEmpty() && m_searchAnswers.isEmpty() &&
           m_modalDrivers.isEmpty();
}

void ScriptedHostServices::clearRecords()
{
    m_shown.clear();
    m_pickCalls.clear();
    m_searchCalls.clear();
    m_busy.clear();
    m_unscripted.clear();
    m_modalCount = 0;
}

void ScriptedHostServices::failUnscripted(const QString& what)
{
    m_unscripted << what;
    if (m_onUnscripted)
        m_onUnscripted(what);
    else
        qCritical("krt: unscripted interaction in a test: %s", qPrintable(what));
}

void ScriptedHostServices::showError(const QString& text)
{
    m_shown.append({Shown::Error, text, mtError, TMsgDlgButtons{mbOK}, 0});
}

TModalResult ScriptedHostServices::messageDlg(const QString& text, TMsgDlgType type,
                                              TMsgDlgButtons buttons, int helpCtx)
{
    m_shown.append({Shown::Message, text, type, buttons, helpCtx});
    if (m_messageAnswers.isEmpty()) {
        // A plain OK message needs no decision; a real question does.
        if (buttons == TMsgDlgButtons{mbOK})
            return mrOk;
        failUnscripted(QStringLiteral("pergunta sem resposta: ") + text);
        return buttons.contains(mbNo) ? mrNo : mrCancel;
    }
    return m_messageAnswers.dequeue();
}

bool ScriptedHostServices::pickList(TDataSource* source, const QString& keyField,
                                    const QString& title, bool singlePick, QString& list)
{
    m_pickCalls.append({source, keyField, title, singlePick, list});
    if (m_pickAnswers.isEmpty()) {
        failUnscripted(QStringLiteral("lista de seleção sem resposta: ") + title);
        return false;
    }
    return m_pickAnswers.dequeue()(source, keyField, singlePick, list);
}

bool ScriptedHostServices::search(TDataSet* dataSet)
{
    m_searchCalls.append(dataSet);
    if (m_searchAnswers.isEmpty()) {
        failUnscripted(QStringLiteral("pesquisa sem resposta"));
        return false;
    }
    return m_searchAnswers.dequeue()(dataSet);
}

int ScriptedHostServices::execModal(QDialog& dialog)
{
    ++m_modalCount;
    if (m_modalDrivers.isEmpty()) {
        failUnscripted(QStringLiteral("diálogo modal sem roteiro: ") + dialog.windowTitle());
        return QDialog::Rejected;
    }
    return m_modalDrivers.dequeue()(dialog);
}

void ScriptedHostServices::busyChanged(int depth, int kind)
{
    m_busy.append({depth, kind});
}

} // namespace krt
