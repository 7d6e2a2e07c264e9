// krt-appserver: serves the remote object "Krt52600.rdmCancelaConsoli" over
// HTTP on a SQLite file or a PostgreSQL database, until SIGTERM or SIGINT.
#include "api/methodtable.h"
#include "appserver/db/database.h"
#include "appserver/db/migrator.h"
#include "appserver/server/appserver.h"
#include "appserver/server/calllog.h"
#include "appserver/server/journal.h"
#include "appserver/server/serveroptions.h"
#include "framework/wire/errors.h"
#include "framework/wire/httptransport.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <pthread.h>

namespace {

int fail(const QString& text)
{
    std::fprintf(stderr, "krt-appserver: %s\n", text.toUtf8().constData());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    // Block the stop signals before any thread starts, so that every worker
    // inherits the mask and only the main thread receives them (sigwait).
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("krt-appserver"));

    const krt::app::ServerStartupRead read = krt::app::readServerStartup(app.arguments());
    if (!read.output.isEmpty()) {
        std::fputs(read.output.toUtf8().constData(), stdout);
        return 0;
    }
    if (!read.error.isEmpty())
        return fail(read.error);
    const krt::app::ServerStartup& startup = read.startup;
    krt::app::ServerOptions options = startup.server;

    // Run by systemd, the log goes to the journal through standard output.
    krt::app::CallLog log(startup.logFile, krt::app::stdoutIsJournal() ? stdout : stderr);
    if (!log.isOpen())
        return fail(QStringLiteral("não foi possível abrir o log \"%1\".").arg(startup.logFile));

    try {
        if (!startup.tokenKeyFile.isEmpty())
            options.tokenKeys = krt::app::SessionTokens::readKeyFile(startup.tokenKeyFile);
        else
            log.note(QStringLiteral("sem --token-key: as sessões são assinadas com uma chave "
                                    "aleatória deste processo; valem só nele e terminam com ele"));
        krt::app::DbOptions dbOptions = startup.database;
        dbOptions.loadPassword(startup.databasePasswordFile);
        krt::app::Database db(dbOptions);
        const QStringList applied = krt::app::Migrator(db).migrate();
        for (const QString& name : applied)
            log.note(QStringLiteral("migração aplicada: %1").arg(name));

        krt::app::AppServer server(db, log, options);
        server.start();
        log.note(QStringLiteral("krt-appserver servindo %1 em %2:%3 (%4%5)")
                     .arg(krt::api::remoteObjectName(), options.address)
                     .arg(server.port())
                     .arg(db.options().describe(),
                          options.tlsCert.isEmpty() ? QString() : QStringLiteral(", TLS")));
        // The main thread's own connection is not needed while serving.
        db.releaseThisThread();

        int signal = 0;
        sigwait(&stopSignals, &signal);
        log.note(QStringLiteral("sinal %1 recebido: encerrando após as chamadas em andamento")
                     .arg(signal));
        server.stop();
        log.note(QStringLiteral("krt-appserver encerrado"));
        return 0;
    } catch (const krt::Error& e) {
        return fail(e.text());
    }
}
