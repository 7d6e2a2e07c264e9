#pragma once

#include "framework/core/dialogtypes.h"

#include <QString>

class QDialog;
class QMdiArea;
class QWidget;
class TDataSet;
class TDataSource;

namespace krt {

// What the host application lends to the framework and the modules: every
// interaction with the person in front of the screen goes through here, so
// tests can answer it from a script (ScriptedHostServices) without blocking.
class IHostServices
{
public:
    virtual ~IHostServices() = default;

    // Shows an error text (the exception boundary calls this).
    virtual void showError(const QString& text) = 0;

    // Standard message dialog; returns mrYes, mrNo, mrOk or mrCancel.
    virtual TModalResult messageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons,
                                    int helpCtx) = 0;

    // Pick list over the source's rows. On confirmation writes the chosen
    // rows' keyField values (krt::formatKeyList) into list and returns true;
    // on cancel leaves list untouched and returns false. The title may carry,
    // after a '|', the text shown when the source is empty. With singlePick
    // the user chooses one row and the data set is left positioned on it;
    // otherwise any number of rows can be checked.
    virtual bool pickList(TDataSource* source, const QString& keyField, const QString& title,
                          bool singlePick, QString& list) = 0;

    // Search dialog (field + value) that positions the data set; true when found.
    virtual bool search(TDataSet* dataSet) = 0;

    // Runs a modal dialog and returns its result code (QDialog::exec semantics).
    virtual int execModal(QDialog& dialog) = 0;

    // Wait-animation notifications: depth after the change (0 = hidden) and kind.
    virtual void busyChanged(int depth, int kind) = 0;

    // The host's MDI area, or nullptr (child screens then show as plain windows).
    virtual QMdiArea* mdiArea() = 0;

    // The host's main window, over which the wait animation is drawn; may be null.
    virtual QWidget* mainWindow() = 0;
};

// The services in use: those set by setHostServices, else a fallback that
// writes texts to the log and answers every question negatively (the Qt
// dialogs, QtHostServices, sit in the widgets layer; the host installs them).
IHostServices& hostServices();

// Installs services (not owned); nullptr restores the fallback.
void setHostServices(IHostServices* services);

// The services installed with setHostServices, or nullptr.
IHostServices* installedHostServices();

} // namespace krt
