#include "appserver/server/serveroptions.h"

#include "api/methodtable.h"
#include "appserver/server/configfile.h"
#include "framework/wire/errors.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>
#include <optional>

namespace krt::app {

namespace {

QCommandLineOption option(const QStringList& names, const QString& description,
                          const QString& valueName = {}, const QString& defaultValue = {})
{
    return QCommandLineOption(names, description, valueName, defaultValue);
}

// An option's value: the command line's, else the configuration file's, else
// the default; a bad one is reported where it was written.
class Settings
{
public:
    Settings(const QCommandLineParser& parser, const std::optional<ConfigFile>& config)
        : parser_(parser), config_(config)
    {
    }

    QString value(const QCommandLineOption& o) const
    {
        if (!parser_.isSet(o) && fromConfig(o))
            return config_->value(o.names().last());
        return parser_.value(o);
    }
    bool isSet(const QCommandLineOption& o) const { return parser_.isSet(o) || fromConfig(o); }

    // A flag: on the command line, or "sim"/"não" in the file.
    bool flag(const QCommandLineOption& o) const
    {
        if (parser_.isSet(o) || !fromConfig(o))
            return parser_.isSet(o);
        const QString v = value(o).toLower();
        if (QStringList{"sim", "s", "yes", "true", "1", "on"}.contains(v))
            return true;
        if (QStringList{"não", "nao", "n", "no", "false", "0", "off"}.contains(v))
            return false;
        throw Error(ErrorCode::InvalidArgument,
                    at(o, QStringLiteral("valor inválido \"%1\" (use sim ou não).").arg(value(o))));
    }

    // `message` about the option, led by the file and line when it came from
    // the configuration file.
    QString at(const QCommandLineOption& o, const QString& message) const
    {
        return fromConfig(o) && !parser_.isSet(o) ? config_->at(o.names().last(), message)
                                                  : message;
    }

private:
    bool fromConfig(const QCommandLineOption& o) const
    {
        return config_ && config_->contains(o.names().last());
    }

    const QCommandLineParser& parser_;
    const std::optional<ConfigFile>& config_;
};

// The options of krt-appserver; all but --config may be written in the
// configuration file too, by their long names.
struct ServerCommandLine
{
    const QCommandLineOption config = option(
        {QStringLiteral("config")},
        QStringLiteral("Arquivo de configuração: uma \"opção = valor\" por linha, com os nomes "
                       "longos destas opções; as da linha de comando prevalecem."),
        QStringLiteral("arquivo"));
    const QCommandLineOption database = option(
        {QStringLiteral("d"), QStringLiteral("database")},
        QStringLiteral("Banco de dados: sqlite:ARQUIVO ou postgres://usuário@máquina:porta/banco, "
                       "sem senha (padrão sqlite:krt52600.db)."),
        QStringLiteral("banco"), QStringLiteral("sqlite:krt52600.db"));
    const QCommandLineOption listen =
        option({QStringLiteral("l"), QStringLiteral("listen")},
               QStringLiteral("Endereço de escuta (padrão 127.0.0.1)."), QStringLiteral("endereço"),
               QStringLiteral("127.0.0.1"));
    const QCommandLineOption port =
        option({QStringLiteral("p"), QStringLiteral("port")},
               QStringLiteral("Porta (padrão 8421; 0 escolhe uma livre)."), QStringLiteral("porta"),
               QStringLiteral("8421"));
    const QCommandLineOption threads =
        option({QStringLiteral("threads")},
               QStringLiteral("Chamadas atendidas ao mesmo tempo (padrão: o dobro dos núcleos, no "
                              "mínimo 4; aqui %1).")
                   .arg(defaultThreads()),
               QStringLiteral("n"), QString::number(defaultThreads()));
    const QCommandLineOption maxBody =
        option({QStringLiteral("max-body")},
               QStringLiteral("Maior corpo de chamada aceito, em bytes (padrão 67108864)."),
               QStringLiteral("bytes"), QStringLiteral("67108864"));
    const QCommandLineOption logFile =
        option({QStringLiteral("log")},
               QStringLiteral("Arquivo de log (padrão: saída de erros; sob o systemd, o "
                              "journal)."),
               QStringLiteral("arquivo"));
    const QCommandLineOption passwordFile = option(
        {QStringLiteral("database-password-file")},
        QStringLiteral("Arquivo cuja primeira linha é a senha do PostgreSQL, ou credential:NOME "
                       "(também: variável KRT_DB_PASSWORD, PGPASSWORD ou ~/.pgpass)."),
        QStringLiteral("arquivo"));
    const QCommandLineOption tlsCert = option(
        {QStringLiteral("tls-cert")},
        QStringLiteral("Certificado do servidor (PEM, com a cadeia)."), QStringLiteral("arquivo"));
    const QCommandLineOption tlsKey =
        option({QStringLiteral("tls-key")},
               QStringLiteral("Chave privada do certificado (PEM), ou credential:NOME."),
               QStringLiteral("arquivo"));
    const QCommandLineOption insecure =
        option({QStringLiteral("insecure-plaintext")},
               QStringLiteral("Aceita servir sem TLS num endereço que não é local (senhas e dados "
                              "passam em claro pela rede)."));
    const QCommandLineOption keepAlive =
        option({QStringLiteral("keep-alive")},
               QStringLiteral("Segundos que uma conexão ociosa fica aberta (padrão 5)."),
               QStringLiteral("s"), QStringLiteral("5"));
    const QCommandLineOption perAddress = option(
        {QStringLiteral("max-connections-per-address")},
        QStringLiteral("Conexões abertas ao mesmo tempo por endereço de cliente (padrão 256; 0 "
                       "sem limite, atrás de um balanceador que não repassa o endereço)."),
        QStringLiteral("n"), QStringLiteral("256"));
    const QCommandLineOption bodyTotal = option(
        {QStringLiteral("max-body-total")},
        QStringLiteral("Bytes de corpos de chamadas retidos ao mesmo tempo pelo servidor inteiro "
                       "(padrão 268435456, ou --max-body se maior)."),
        QStringLiteral("bytes"), QStringLiteral("268435456"));
    const QCommandLineOption tokenKey = option(
        {QStringLiteral("token-key")},
        QStringLiteral("Arquivo das chaves que assinam as sessões, o mesmo em todos os processos "
                       "atrás de um balanceador (krt-admin token-key), ou credential:NOME; sem "
                       "ele, uma chave aleatória deste processo."),
        QStringLiteral("arquivo"));
    const QCommandLineOption trustedProxy = option(
        {QStringLiteral("trusted-proxy")},
        QStringLiteral("Endereços de balanceadores (separados por vírgula; na linha de comando, "
                       "também repetindo a opção) cujo X-Forwarded-For informa o endereço do "
                       "cliente."),
        QStringLiteral("endereços"));
    const QCommandLineOption metricsListen = option(
        {QStringLiteral("metrics-listen")},
        QStringLiteral("Serve GET /metrics (formato do Prometheus, HTTP sem TLS) neste "
                       "endereço:porta, à parte das chamadas (ex.: 127.0.0.1:9421); sem ela, não "
                       "há métricas."),
        QStringLiteral("endereço:porta"));
    const QList<QCommandLineOption> settable = {database,  listen,   port,         threads,
                                                maxBody,   logFile,  passwordFile, tlsCert,
                                                tlsKey,    insecure, keepAlive,    perAddress,
                                                bodyTotal, tokenKey, trustedProxy, metricsListen};

    QStringList settableNames() const
    {
        QStringList names;
        for (const QCommandLineOption& o : settable)
            names << o.names().last();
        return names;
    }
};

} // namespace

QStringList serverConfigNames()
{
    return ServerCommandLine().settableNames();
}

QString resolveCredential(const QString& value)
{
    static const QString prefix = QStringLiteral("credential:");
    if (!value.startsWith(prefix))
        return value;
    const QString name = value.mid(prefix.size());
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9_.-]{1,200}$"));
    if (!valid.match(name).hasMatch() || name.startsWith(QLatin1Char('.')))
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("nome de credencial inválido \"%1\".").arg(name));
    const QString directory = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
    if (directory.isEmpty())
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("a credencial %1 só existe quando o servidor é iniciado pelo "
                                   "systemd com LoadCredential= (CREDENTIALS_DIRECTORY não "
                                   "definido).")
                        .arg(name));
    const QString path = QDir(directory).filePath(name);
    if (!QFileInfo(path).isFile() || QFileInfo(path).size() == 0)
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("o systemd não passou a credencial %1 ao servidor: ponha o "
                                   "segredo no arquivo que o LoadCredential= da unidade nomeia "
                                   "(no pacote, /etc/credstore/krt-appserver.%1).")
                        .arg(name));
    return path;
}

ServerStartupRead readServerStartup(const QStringList& arguments)
{
    ServerStartupRead read;
    const ServerCommandLine c;
    const auto& [config, database, listen, port, threads, maxBody, logFile, passwordFile, tlsCert,
                 tlsKey, insecure, keepAlive, perAddress, bodyTotal, tokenKey, trustedProxy,
                 metricsListen, settable] = c;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Servidor de aplicação do objeto %1.").arg(krt::api::remoteObjectName()));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOption(config);
    parser.addOptions(settable);

    if (!parser.parse(arguments)) {
        read.error = parser.errorText();
        return read;
    }
    if (parser.isSet(help)) {
        read.output = parser.helpText();
        return read;
    }
    if (parser.isSet(version)) {
        read.output = QStringLiteral("krt-appserver %1\n").arg(QStringLiteral(KRT_VERSION));
        return read;
    }
    if (!parser.positionalArguments().isEmpty()) {
        read.error = QStringLiteral("argumento inesperado \"%1\".")
                         .arg(parser.positionalArguments().first());
        return read;
    }

    try {
        std::optional<ConfigFile> file;
        if (parser.isSet(config)) {
            file = ConfigFile::read(parser.value(config), c.settableNames());
        }
        const Settings s(parser, file);
        ServerStartup& startup = read.startup;
        ServerOptions& options = startup.server;

        bool ok = false;
        options.address = s.value(listen);
        const uint portValue = s.value(port).toUInt(&ok);
        if (!ok || portValue > 65535)
            throw Error(ErrorCode::InvalidArgument,
                        s.at(port, QStringLiteral("porta inválida \"%1\".").arg(s.value(port))));
        options.port = quint16(portValue);
        options.threads = s.value(threads).toInt(&ok);
        if (!ok || options.threads < 1 || options.threads > 256)
            throw Error(
                ErrorCode::InvalidArgument,
                s.at(threads,
                     QStringLiteral("número de threads inválido \"%1\".").arg(s.value(threads))));
        options.maxBodyBytes = s.value(maxBody).toLongLong(&ok);
        if (!ok || options.maxBodyBytes < 1024)
            throw Error(
                ErrorCode::InvalidArgument,
                s.at(maxBody,
                     QStringLiteral("limite de corpo inválido \"%1\".").arg(s.value(maxBody))));
        options.keepAliveSeconds = s.value(keepAlive).toInt(&ok);
        if (!ok || options.keepAliveSeconds < 1 || options.keepAliveSeconds > 3600)
            throw Error(ErrorCode::InvalidArgument,
                        s.at(keepAlive, QStringLiteral("tempo de conexão ociosa inválido \"%1\".")
                                            .arg(s.value(keepAlive))));
        options.limits.connectionsPerAddress = s.value(perAddress).toInt(&ok);
        if (!ok || options.limits.connectionsPerAddress < 0)
            throw Error(
                ErrorCode::InvalidArgument,
                s.at(perAddress, QStringLiteral("limite de conexões por endereço inválido \"%1\".")
                                     .arg(s.value(perAddress))));
        options.limits.bodyBytesTotal = s.value(bodyTotal).toLongLong(&ok);
        // Unless told otherwise, room for at least one call of the largest size.
        if (ok && !s.isSet(bodyTotal))
            options.limits.bodyBytesTotal =
                qMax(options.limits.bodyBytesTotal, options.maxBodyBytes);
        if (!ok || options.limits.bodyBytesTotal < options.maxBodyBytes)
            throw Error(
                ErrorCode::InvalidArgument,
                s.at(bodyTotal, QStringLiteral("limite de corpos retidos inválido \"%1\" (deve ser "
                                               "ao menos o de --max-body).")
                                    .arg(s.value(bodyTotal))));

        const auto filePath = [&](const QCommandLineOption& o) {
            try {
                return resolveCredential(s.value(o));
            } catch (const Error& e) {
                throw Error(ErrorCode::InvalidArgument,
                            s.at(o, QStringLiteral("%1: %2").arg(o.names().last(), e.text())));
            }
        };
        options.tlsCert = filePath(tlsCert);
        options.tlsKey = filePath(tlsKey);
        if (options.tlsCert.isEmpty() != options.tlsKey.isEmpty())
            throw Error(ErrorCode::InvalidArgument,
                        QStringLiteral("--tls-cert e --tls-key vão juntos."));
        // Passwords and business data must not cross a network in clear
        // text: off the loopback, TLS is required unless the operator says
        // otherwise.
        const bool plaintextAllowed = s.flag(insecure);
        if (options.tlsCert.isEmpty() && !isLoopbackAddress(options.address) && !plaintextAllowed)
            throw Error(ErrorCode::InvalidArgument,
                        s.at(listen, QStringLiteral("o endereço %1 não é local: use --tls-cert e "
                                                    "--tls-key, ou --insecure-plaintext para "
                                                    "servir sem criptografia.")
                                         .arg(options.address)));
        try {
            startup.database = DbOptions::parse(s.value(database));
        } catch (const Error& e) {
            throw Error(ErrorCode::InvalidArgument, s.at(database, e.text()));
        }
        startup.databasePasswordFile = filePath(passwordFile);
        startup.logFile = s.value(logFile);
        startup.tokenKeyFile = filePath(tokenKey);
        const QStringList proxies =
            parser.isSet(trustedProxy)
                ? parser.values(trustedProxy)
                      .join(QLatin1Char(','))
                      .split(QLatin1Char(','), Qt::SkipEmptyParts)
                : s.value(trustedProxy).split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (const QString& proxy : proxies) {
            const QHostAddress address(proxy.trimmed());
            if (address.isNull())
                throw Error(
                    ErrorCode::InvalidArgument,
                    s.at(trustedProxy, QStringLiteral("endereço de balanceador inválido \"%1\".")
                                           .arg(proxy.trimmed())));
            options.trustedProxies << address.toString();
        }
        if (s.isSet(metricsListen)) {
            // "address:port", an IPv6 address in brackets.
            const QString text = s.value(metricsListen);
            const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
            QString address = text.left(colon);
            if (address.startsWith(QLatin1Char('[')) && address.endsWith(QLatin1Char(']')))
                address = address.mid(1, address.size() - 2);
            bool ok = false;
            const uint metricsPort = text.mid(colon + 1).toUInt(&ok);
            if (colon < 0 || QHostAddress(address).isNull() || !ok || metricsPort > 65535)
                throw Error(ErrorCode::InvalidArgument,
                            s.at(metricsListen, QStringLiteral("endereço das métricas inválido "
                                                               "\"%1\" (use endereço:porta, ex.: "
                                                               "127.0.0.1:9421).")
                                                    .arg(text)));
            options.metricsAddress = address;
            options.metricsPort = quint16(metricsPort);
        }
    } catch (const Error& e) {
        read.error = e.text();
    }
    return read;
}

} // namespace krt::app
