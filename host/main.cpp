#include "framework/core/errors.h"
#include "framework/core/hostservices.h"
#include "framework/core/usercontext.h"
#include "framework/db/dtmdbgeral.h"
#include "framework/widgets/accessibility.h"
#include "host/hostdatabase.h"
#include "host/hostlogin.h"
#include "host/hostoptions.h"
#include "host/hostqtservices.h"
#include "host/hostwindow.h"
#include "host/logindialog.h"
#include "host/translations.h"

#include <QApplication>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("krt-host"));
    // No display name: the platform would append it to every window title
    // (" — Retaguarda de Vendas" after each dialog's and message box's own).
    // The main window names the application in its own title.
    installPortugueseTranslations(app);
    // Before any window exists: a screen reader may inspect the first one.
    krt::installAccessibility();

    const HostOptionsResult read =
        readHostOptions(QApplication::arguments(), QApplication::applicationDirPath());
    if (!read.helpText.isEmpty()) {
        std::fputs(qPrintable(read.helpText), stdout);
        return 0;
    }
    if (!read.error.isEmpty()) {
        std::fprintf(stderr, "krt-host: %s\n", qPrintable(read.error));
        return 2;
    }
    const HostOptions& options = read.options;

    krt::UserContext context;
    context.branch = options.branch;
    context.branchFixed = options.branchFixed;
    context.webUrl = options.serverHost;
    context.webPort = options.serverPort;
    context.productTreeMask = options.productTreeMask;
    context.serverCaFile = options.serverCaFile;
    // Log in before the module starts: the screen's connection then logs in
    // on its own with the same credentials. A picture-only run never asks.
    const bool mayAsk = options.screenshotFile.isEmpty();
    loginAtStart(options, context, [&](const QString& message, Credentials& credentials) {
        if (!mayAsk)
            return false;
        LoginDialog dialog(QStringLiteral("%1:%2").arg(options.serverHost).arg(options.serverPort),
                           credentials.user);
        dialog.setMessage(message);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        credentials = {dialog.user(), dialog.password()};
        return true;
    });
    krt::setUserContext(context);

    HostQtServices services;
    services.setErrorsToConsole(!options.screenshotFile.isEmpty());
    TdtmDBGeral database;
    dtmDBGeral = &database;
    int result = 0;
    {
        HostWindow window;
        services.setMainWindow(&window);
        services.setMdiArea(window.mdiArea());
        services.setStatusBar(window.statusBar());
        krt::setHostServices(&services);
        window.setContextDescription(
            QStringLiteral("Servidor %1:%2%3 | Usuário %4 | %5 | Filial %6")
                .arg(options.serverHost)
                .arg(options.serverPort)
                .arg(options.serverCaFile.isEmpty() ? QString() : QStringLiteral(" (TLS)"),
                     context.serverUser.isEmpty() ? QStringLiteral("(nenhum)") : context.serverUser,
                     describeHostDatabase(options),
                     context.branch.isEmpty() ? QStringLiteral("(nenhuma)") : context.branch));
        window.show();

        // Errors at start are shown once the window is up; none of them stops the host.
        QTimer::singleShot(0, &window, [&] {
            try {
                openHostDatabase(database, options);
            } catch (const EKrtError& e) {
                services.showError(e.text());
            }
            if (window.loadModule(options.modulePath) && options.openScreen)
                window.openCancellationScreen();
            if (!options.screenshotFile.isEmpty())
                QTimer::singleShot(500, &window, [&] {
                    if (!window.grab().save(options.screenshotFile))
                        std::fprintf(stderr, "krt-host: não foi possível salvar %s\n",
                                     qPrintable(options.screenshotFile));
                    window.close();
                });
        });
        result = QApplication::exec();
        window.unloadModule();
        krt::setHostServices(nullptr);
    }
    dtmDBGeral = nullptr;
    return result;
}
