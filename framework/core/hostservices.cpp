#include "framework/core/hostservices.h"

#include <QDialog>
#include <QtDebug>

namespace krt {

namespace {

// With no services installed nothing is shown: texts go to the log and every
// question gets its negative answer, as a console tool needs. The people's
// dialogs are the widgets layer's QtHostServices, which the host installs.
class LoggingHostServices final : public IHostServices
{
public:
    void showError(const QString& text) override { qWarning("krt: %s", qPrintable(text)); }
    TModalResult messageDlg(const QString& text, TMsgDlgType, TMsgDlgButtons buttons, int) override
    {
        qWarning("krt: %s", qPrintable(text));
        return buttons.contains(mbCancel) ? mrCancel : buttons.contains(mbNo) ? mrNo : mrOk;
    }
    bool pickList(TDataSource*, const QString&, const QString&, bool, QString&) override
    {
        return false;
    }
    bool search(TDataSet*) override { return false; }
    int execModal(QDialog&) override { return QDialog::Rejected; }
    void busyChanged(int, int) override {}
    QMdiArea* mdiArea() override { return nullptr; }
    QWidget* mainWindow() override { return nullptr; }
};

IHostServices* g_services = nullptr;

} // namespace

IHostServices& hostServices()
{
    if (g_services)
        return *g_services;
    static LoggingHostServices fallback;
    return fallback;
}

void setHostServices(IHostServices* services)
{
    g_services = services;
}

IHostServices* installedHostServices()
{
    return g_services;
}

} // namespace krt
