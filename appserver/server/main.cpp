// krt-appserver: serves the remote object "Krt52600.rdmCancelaConsoli" over
// HTTP on a SQLite file or a PostgreSQL database, until SIGTERM or SIGINT.
#include "appserver/db/database.h"
#include "appserver/db/errors.h"
#include "appserver/db/migrator.h"
#include "appserver/server/appserver.h"
#include "appserver/server/calllog.h"
#include "framework/wire/httptransport.h"
#include "server/methodtable.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
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

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Servidor de aplicação do objeto %1.").arg(krt::api::remoteObjectName()));
    parser.addHelpOption();
    const QCommandLineOption database(
        {QStringLiteral("d"), QStringLiteral("database")},
        QStringLiteral("Banco de dados: sqlite:ARQUIVO ou postgres://usuário@máquina:porta/banco, "
                       "sem senha (padrão sqlite:krt52600.db)."),
        QStringLiteral("banco"), QStringLiteral("sqlite:krt52600.db"));
    const QCommandLineOption listen({QStringLiteral("l"), QStringLiteral("listen")},
                                    QStringLiteral("Endereço de escuta (padrão 127.0.0.1)."),
                                    QStringLiteral("endereço"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption port({QStringLiteral("p"), QStringLiteral("port")},
                                  QStringLiteral("Porta (padrão 8421; 0 escolhe uma livre)."),
                                  QStringLiteral("porta"), QStringLiteral("8421"));
    const QCommandLineOption threads(
        QStringLiteral("threads"), QStringLiteral("Chamadas atendidas ao mesmo tempo (padrão 8)."),
        QStringLiteral("n"), QStringLiteral("8"));
    const QCommandLineOption maxBody(
        QStringLiteral("max-body"),
        QStringLiteral("Maior corpo de chamada aceito, em bytes (padrão 67108864)."),
        QStringLiteral("bytes"), QStringLiteral("67108864"));
    const QCommandLineOption logFile(QStringLiteral("log"),
                                     QStringLiteral("Arquivo de log (padrão: saída de erros)."),
                                     QStringLiteral("arquivo"));
    const QCommandLineOption passwordFile(
        QStringLiteral("database-password-file"),
        QStringLiteral("Arquivo cuja primeira linha é a senha do PostgreSQL (também: variável "
                       "KRT_DB_PASSWORD, PGPASSWORD ou ~/.pgpass)."),
        QStringLiteral("arquivo"));
    const QCommandLineOption tlsCert(QStringLiteral("tls-cert"),
                                     QStringLiteral("Certificado do servidor (PEM, com a cadeia)."),
                                     QStringLiteral("arquivo"));
    const QCommandLineOption tlsKey(QStringLiteral("tls-key"),
                                    QStringLiteral("Chave privada do certificado (PEM)."),
                                    QStringLiteral("arquivo"));
    const QCommandLineOption insecure(
        QStringLiteral("insecure-plaintext"),
        QStringLiteral("Aceita servir sem TLS num endereço que não é local (senhas e dados "
                       "passam em claro pela rede)."));
    const QCommandLineOption keepAlive(
        QStringLiteral("keep-alive"),
        QStringLiteral("Segundos que uma conexão ociosa fica aberta (padrão 5)."),
        QStringLiteral("s"), QStringLiteral("5"));
    const QCommandLineOption perAddress(
        QStringLiteral("max-connections-per-address"),
        QStringLiteral("Conexões abertas ao mesmo tempo por endereço de cliente (padrão 256; 0 "
                       "sem limite, atrás de um balanceador que não repassa o endereço)."),
        QStringLiteral("n"), QStringLiteral("256"));
    const QCommandLineOption bodyTotal(
        QStringLiteral("max-body-total"),
        QStringLiteral("Bytes de corpos de chamadas retidos ao mesmo tempo pelo servidor inteiro "
                       "(padrão 268435456, ou --max-body se maior)."),
        QStringLiteral("bytes"), QStringLiteral("268435456"));
    const QCommandLineOption tokenKey(
        QStringLiteral("token-key"),
        QStringLiteral("Arquivo das chaves que assinam as sessões, o mesmo em todos os processos "
                       "atrás de um balanceador (krt-admin token-key); sem ele, uma chave "
                       "aleatória deste processo."),
        QStringLiteral("arquivo"));
    const QCommandLineOption trustedProxy(
        QStringLiteral("trusted-proxy"),
        QStringLiteral("Endereço de um balanceador cujo X-Forwarded-For informa o endereço do "
                       "cliente (pode repetir)."),
        QStringLiteral("endereço"));
    parser.addOptions({database, listen, port, threads, maxBody, logFile, passwordFile, tlsCert,
                       tlsKey, insecure, keepAlive, perAddress, bodyTotal, tokenKey, trustedProxy});
    parser.process(app);

    bool ok = false;
    krt::app::ServerOptions options;
    options.address = parser.value(listen);
    const uint portValue = parser.value(port).toUInt(&ok);
    if (!ok || portValue > 65535)
        return fail(QStringLiteral("porta inválida \"%1\".").arg(parser.value(port)));
    options.port = quint16(portValue);
    options.threads = parser.value(threads).toInt(&ok);
    if (!ok || options.threads < 1 || options.threads > 256)
        return fail(
            QStringLiteral("número de threads inválido \"%1\".").arg(parser.value(threads)));
    options.maxBodyBytes = parser.value(maxBody).toLongLong(&ok);
    if (!ok || options.maxBodyBytes < 1024)
        return fail(QStringLiteral("limite de corpo inválido \"%1\".").arg(parser.value(maxBody)));
    options.keepAliveSeconds = parser.value(keepAlive).toInt(&ok);
    if (!ok || options.keepAliveSeconds < 1 || options.keepAliveSeconds > 3600)
        return fail(QStringLiteral("tempo de conexão ociosa inválido \"%1\".")
                        .arg(parser.value(keepAlive)));
    options.limits.connectionsPerAddress = parser.value(perAddress).toInt(&ok);
    if (!ok || options.limits.connectionsPerAddress < 0)
        return fail(QStringLiteral("limite de conexões por endereço inválido \"%1\".")
                        .arg(parser.value(perAddress)));
    options.limits.bodyBytesTotal = parser.value(bodyTotal).toLongLong(&ok);
    // Unless told otherwise, room for at least one call of the largest size.
    if (ok && !parser.isSet(bodyTotal))
        options.limits.bodyBytesTotal = qMax(options.limits.bodyBytesTotal, options.maxBodyBytes);
    if (!ok || options.limits.bodyBytesTotal < options.maxBodyBytes)
        return fail(QStringLiteral("limite de corpos retidos inválido \"%1\" (deve ser ao menos "
                                   "o de --max-body).")
                        .arg(parser.value(bodyTotal)));
    for (const QString& proxy : parser.values(trustedProxy)) {
        const QHostAddress address(proxy);
        if (address.isNull())
            return fail(QStringLiteral("endereço de balanceador inválido \"%1\".").arg(proxy));
        options.trustedProxies << address.toString();
    }
    options.tlsCert = parser.value(tlsCert);
    options.tlsKey = parser.value(tlsKey);
    if (options.tlsCert.isEmpty() != options.tlsKey.isEmpty())
        return fail(QStringLiteral("--tls-cert e --tls-key vão juntos."));
    // Passwords and business data must not cross a network in clear text: off
    // the loopback, TLS is required unless the operator says otherwise.
    if (options.tlsCert.isEmpty() && !krt::app::isLoopbackAddress(options.address) &&
        !parser.isSet(insecure))
        return fail(QStringLiteral("o endereço %1 não é local: use --tls-cert e --tls-key, ou "
                                   "--insecure-plaintext para servir sem criptografia.")
                        .arg(options.address));

    krt::app::CallLog log(parser.value(logFile));
    if (!log.isOpen())
        return fail(
            QStringLiteral("não foi possível abrir o log \"%1\".").arg(parser.value(logFile)));

    try {
        if (parser.isSet(tokenKey))
            options.tokenKeys = krt::app::SessionTokens::readKeyFile(parser.value(tokenKey));
        else
            log.note(QStringLiteral("sem --token-key: as sessões são assinadas com uma chave "
                                    "aleatória deste processo; valem só nele e terminam com ele"));
        krt::app::DbOptions dbOptions = krt::app::DbOptions::parse(parser.value(database));
        dbOptions.loadPassword(parser.value(passwordFile));
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
    } catch (const krt::app::AppError& e) {
        return fail(e.text());
    } catch (const krt::TransportError& e) {
        return fail(e.text());
    }
}
