#include "framework/widgets/qthostservices.h"

#include "framework/core/busyindicator.h"
#include "framework/widgets/busyoverlay.h"

#include "framework/widgets/dialogframe.h"
#include "framework/widgets/picklistdialog.h"
#include "framework/widgets/searchdialog.h"

#include <QApplication>
#include <QDialog>
#include <QMdiArea>
#include <QMessageBox>
#include <QPushButton>
#include <QtDebug>

namespace krt {

namespace {

// Without a widget application (a console tool, a core-only test) nothing
// can be shown: the text goes to the log and questions get the negative answer.
bool canShowWidgets()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

QWidget* dialogParent(QWidget* mainWindow)
{
    if (QWidget* w = QApplication::activeWindow())
        return w;
    return mainWindow;
}

QMessageBox::Icon iconFor(TMsgDlgType type)
{
    switch (type) {
    case mtWarning:
        return QMessageBox::Warning;
    case mtError:
        return QMessageBox::Critical;
    case mtInformation:
        return QMessageBox::Information;
    case mtConfirmation:
        return QMessageBox::Question;
    case mtCustom:
        break;
    }
    return QMessageBox::NoIcon;
}

QString captionFor(TMsgDlgType type)
{
    switch (type) {
    case mtWarning:
        return QStringLiteral("Aviso");
    case mtError:
        return QStringLiteral("Erro");
    case mtInformation:
        return QStringLiteral("Informação");
    case mtConfirmation:
        return QStringLiteral("Confirmação");
    case mtCustom:
        break;
    }
    return QString();
}

} // namespace

void QtHostServices::showError(const QString& text)
{
    if (!canShowWidgets()) {
        qWarning("krt: %s", qPrintable(text));
        return;
    }
    QMessageBox box(QMessageBox::Critical, captionFor(mtError), text, QMessageBox::NoButton,
                    dialogParent(m_mainWindow));
    useDialogFrame(&box);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
}

TModalResult QtHostServices::messageDlg(const QString& text, TMsgDlgType type,
                                        TMsgDlgButtons buttons, int /*helpCtx*/)
{
    if (!canShowWidgets()) {
        qWarning("krt: %s", qPrintable(text));
        return buttons.contains(mbCancel) ? mrCancel : buttons.contains(mbNo) ? mrNo : mrOk;
    }
    QMessageBox box(iconFor(type), captionFor(type), text, QMessageBox::NoButton,
                    dialogParent(m_mainWindow));
    useDialogFrame(&box);
    struct Choice
    {
        TMsgDlgBtn button;
        const char* caption;
        QMessageBox::ButtonRole role;
        TModalResult result;
    };
    static const Choice choices[] = {
        {mbYes, "&Sim", QMessageBox::YesRole, mrYes},
        {mbNo, "&Não", QMessageBox::NoRole, mrNo},
        {mbOK, "OK", QMessageBox::AcceptRole, mrOk},
        {mbCancel, "Cancelar", QMessageBox::RejectRole, mrCancel},
        {mbAbort, "Abortar", QMessageBox::RejectRole, mrAbort},
        {mbRetry, "Repetir", QMessageBox::AcceptRole, mrRetry},
        {mbIgnore, "Ignorar", QMessageBox::AcceptRole, mrIgnore},
    };
    if (buttons.isEmpty())
        buttons = TMsgDlgButtons{mbOK};
    QList<QPair<QAbstractButton*, TModalResult>> added;
    for (const Choice& c : choices) {
        if (buttons.contains(c.button))
            added.append({box.addButton(QString::fromUtf8(c.caption), c.role), c.result});
    }
    box.exec();
    for (const auto& [button, result] : added) {
        if (box.clickedButton() == button)
            return result;
    }
    // Closed with Escape / the title bar: the "negative" answer.
    return buttons.contains(mbCancel) ? mrCancel : buttons.contains(mbNo) ? mrNo : mrOk;
}

bool QtHostServices::pickList(TDataSource* source, const QString& keyField, const QString& title,
                              bool singlePick, QString& list)
{
    return runPickList(source, keyField, title, singlePick, list);
}

bool QtHostServices::search(TDataSet* dataSet)
{
    return runSearch(dataSet);
}

int QtHostServices::execModal(QDialog& dialog)
{
    return dialog.exec();
}

void QtHostServices::busyChanged(int, int)
{
    QWidget* host = mainWindow();
    if (!host && busyForm())
        host = busyForm()->window();
    if (!host)
        host = QApplication::activeWindow();
    presentBusy(host);
}

QMdiArea* QtHostServices::mdiArea()
{
    return m_mdiArea;
}

QWidget* QtHostServices::mainWindow()
{
    return m_mainWindow;
}

void QtHostServices::setMdiArea(QMdiArea* area)
{
    m_mdiArea = area;
}

void QtHostServices::setMainWindow(QWidget* window)
{
    m_mainWindow = window;
}

} // namespace krt
