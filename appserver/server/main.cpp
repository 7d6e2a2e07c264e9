// krt-appserver: serves the remote object "Krt52600.rdmCancelaConsoli" over
// HTTP on a SQLite file or a PostgreSQL database, until SIGTERM or SIGINT;
// SIGHUP reloads its TLS certificate and reopens its log file.
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
    // Block the stop and reload signals before any thread starts, so that
    // every worker inherits the mask and only the main thread receives them
    // (sigwait).
    sigset_t handled;
    sigemptyset(&handled);
    sigaddset(&handled, SIGTERM);
    sigaddset(&handled, SIGINT);
    sigaddset(&handled, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &handled, nullptr);
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
        if (server.metricsPort() != 0)
            log.note(QStringLiteral("métricas em http://%1:%2%3")
                         .arg(options.metricsAddress.contains(QLatin1Char(':'))
                                  ? QStringLiteral("[%1]").arg(options.metricsAddress)
                                  : options.metricsAddress)
                         .arg(server.metricsPort())
                         .arg(QString::fromLatin1(krt::kMetricsPath)));
        // The main thread's own connection is not needed while serving.
        db.releaseThisThread();

        int signal = 0;
        // SIGHUP (systemctl reload): a renewed certificate for the
        // connections to come, and the log file opened again after a rotation;
        // the calls in progress go on.
        while (sigwait(&handled, &signal) == 0 && signal == SIGHUP) {
            if (!log.reopen())
                log.note(QStringLiteral("sinal 1 recebido: não foi possível reabrir o log \"%1\"; "
                                        "o arquivo aberto continua em uso")
                             .arg(startup.logFile));
            if (options.tlsCert.isEmpty()) {
                log.note(QStringLiteral("sinal 1 recebido: sem TLS, nada a recarregar"));
                continue;
            }
            try {
                server.reloadTls();
                log.note(QStringLiteral("sinal 1 recebido: certificado TLS %1 recarregado para as "
                                        "novas conexões")
                             .arg(options.tlsCert));
            } catch (const krt::Error& e) {
                log.note(QStringLiteral("sinal 1 recebido: certificado TLS mantido, o novo foi "
                                        "recusado: %1")
                             .arg(e.text()));
            }
        }
        log.note(QStringLiteral("sinal %1 recebido: encerrando após as chamadas em andamento")
                     .arg(signal));
        server.stop();
        log.note(QStringLiteral("krt-appserver encerrado"));
        return 0;
    } catch (const krt::Error& e) {
        return fail(e.text());
    }
}
