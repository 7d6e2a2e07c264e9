#pragma once

#include "framework/widgets/qthostservices.h"

class QStatusBar;

// The host's services: the framework's dialogs for people, plus the wait
// text in the main window's status bar.
class HostQtServices : public krt::QtHostServices
{
public:
    void setStatusBar(QStatusBar* bar) { m_statusBar = bar; }
    // Errors go to the standard error output instead of a dialog (unattended runs).
    void setErrorsToConsole(bool on) { m_errorsToConsole = on; }

    void showError(const QString& text) override;
    void busyChanged(int depth, int kind) override;

private:
    QPointer<QStatusBar> m_statusBar;
    bool m_errorsToConsole = false;
};
