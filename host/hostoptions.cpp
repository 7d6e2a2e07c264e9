#include "host/hostoptions.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>

namespace {

bool parsePort(const QString& text, int& port)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 1 || value > 65535)
        return false;
    port = value;
    return true;
}

bool parseFlag(const QString& text, bool& flag)
{
    const QString t = text.trimmed().toLower();
    if (t == "1" || t == "true" || t == "sim" || t == "s" || t == "yes")
        flag = true;
    else if (t == "0" || t == "false" || t == "nao" || t == "não" || t == "n" || t == "no")
        flag = false;
    else
        return false;
    return true;
}

// The config file's values by "section/key". Each value is taken as written
// after the "=" (only the blanks around it and one pair of surrounding double
// quotes go): edit masks and passwords carry semicolons and commas, which a
// general INI reader would cut as a comment or split into a list. Lines that
// start with ";" or "#" are comments. Returns an error text or an empty one.
QString readConfigValues(const QString& path, QHash<QString, QString>& values)
{
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
        return QStringLiteral("Arquivo de configuração \"%1\" não encontrado ou sem permissão de "
                              "leitura.")
            .arg(path);
    QString section;
    int lineNumber = 0;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (QString line : lines) {
        ++lineNumber;
        if (lineNumber == 1 && line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString key = equals > 0 ? line.left(equals).trimmed() : QString();
        if (key.isEmpty())
            return QStringLiteral("Arquivo de configuração \"%1\" com formato inválido na linha "
                                  "%2: %3")
                .arg(path)
                .arg(lineNumber)
                .arg(line);
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) &&
            value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        values.insert(section.isEmpty() ||
                              section.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0
                          ? key
                          : section + QLatin1Char('/') + key,
                      value);
    }
    return {};
}

// The first line of a password file; returns an error text or an empty one.
QString readPasswordFile(const QString& path, QString& password)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("Não foi possível ler o arquivo de senha \"%1\": %2.")
            .arg(path, f.errorString());
    password = QString::fromUtf8(f.readLine(4096));
    while (password.endsWith(QLatin1Char('\n')) || password.endsWith(QLatin1Char('\r')))
        password.chop(1);
    return {};
}

// Applies the config file's values; returns an error text or an empty one.
QString applyConfigFile(const QString& path, HostOptions& o)
{
    QHash<QString, QString> ini;
    if (const QString error = readConfigValues(path, ini); !error.isEmpty())
        return error;

    const auto text = [&](const char* key, QString& target) {
        if (ini.contains(QLatin1String(key)))
            target = ini.value(QLatin1String(key));
    };
    text("module/path", o.modulePath);
    if (!o.modulePath.isEmpty() && QFileInfo(o.modulePath).isRelative())
        o.modulePath = QFileInfo(path).absoluteDir().absoluteFilePath(o.modulePath);
    text("server/host", o.serverHost);
    if (ini.contains(QStringLiteral("server/port")) &&
        !parsePort(ini.value(QStringLiteral("server/port")), o.serverPort))
        return QStringLiteral("Porta do servidor inválida em \"%1\": %2.")
            .arg(path, ini.value(QStringLiteral("server/port")));
    text("server/user", o.serverUser);
    text("server/password", o.serverPassword);
    QString passwordFile;
    text("server/passwordFile", passwordFile);
    if (!passwordFile.isEmpty()) {
        if (QFileInfo(passwordFile).isRelative())
            passwordFile = QFileInfo(path).absoluteDir().absoluteFilePath(passwordFile);
        if (const QString error = readPasswordFile(passwordFile, o.serverPassword);
            !error.isEmpty())
            return error;
    }
    text("server/caFile", o.serverCaFile);
    if (!o.serverCaFile.isEmpty() && QFileInfo(o.serverCaFile).isRelative())
        o.serverCaFile = QFileInfo(path).absoluteDir().absoluteFilePath(o.serverCaFile);
    text("user/branch", o.branch);
    if (ini.contains(QStringLiteral("user/branchFixed")) &&
        !parseFlag(ini.value(QStringLiteral("user/branchFixed")), o.branchFixed))
        return QStringLiteral("Valor inválido para branchFixed em \"%1\": %2.")
            .arg(path, ini.value(QStringLiteral("user/branchFixed")));
    text("user/productTreeMask", o.productTreeMask);
    text("database/driver", o.dbDriver);
    o.dbDriver = o.dbDriver.trimmed().toUpper();
    text("database/name", o.dbName);
    if (!o.dbName.isEmpty() && o.dbDriver == "QSQLITE" && QFileInfo(o.dbName).isRelative())
        o.dbName = QFileInfo(path).absoluteDir().absoluteFilePath(o.dbName);
    text("database/host", o.dbHost);
    if (ini.contains(QStringLiteral("database/port")) &&
        !parsePort(ini.value(QStringLiteral("database/port")), o.dbPort))
        return QStringLiteral("Porta do banco de dados inválida em \"%1\": %2.")
            .arg(path, ini.value(QStringLiteral("database/port")));
    text("database/user", o.dbUser);
    text("database/password", o.dbPassword);
    return {};
}

} // namespace

QString defaultConfigFile()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .absoluteFilePath(QStringLiteral("krt52600/krt-host.ini"));
}

QString defaultModulePath(const QString& applicationDir)
{
    const QString installed =
        QDir::cleanPath(applicationDir + QStringLiteral("/../" KRT_HOST_LIBDIR "/libkrt52600.so"));
    if (QFileInfo::exists(installed))
        return installed;
    return QDir::cleanPath(applicationDir + QStringLiteral("/../lib/libkrt52600.so"));
}

HostOptionsResult readHostOptions(const QStringList& arguments, const QString& applicationDir)
{
    HostOptionsResult r;
    HostOptions& o = r.options;

    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Aplicação hospedeira: carrega o módulo KRT52600 e abre a tela "
                       "\"Cancelamento da Consolidação de Vendas\"."));
    const QCommandLineOption help({"h", "help"}, QStringLiteral("Mostra esta ajuda."));
    const QCommandLineOption config("config", QStringLiteral("Arquivo de configuração (INI)."),
                                    QStringLiteral("arquivo"));
    const QCommandLineOption module("module", QStringLiteral("Caminho do módulo libkrt52600.so."),
                                    QStringLiteral("arquivo"));
    const QCommandLineOption serverHost("server-host",
                                        QStringLiteral("Endereço do servidor de aplicação."),
                                        QStringLiteral("endereço"));
    const QCommandLineOption serverPort(
        "server-port", QStringLiteral("Porta do servidor de aplicação."), QStringLiteral("porta"));
    const QCommandLineOption serverUser("server-user",
                                        QStringLiteral("Usuário do servidor de aplicação."),
                                        QStringLiteral("usuário"));
    const QCommandLineOption serverPasswordFile(
        "server-password-file",
        QStringLiteral("Arquivo cuja primeira linha é a senha do servidor de aplicação "
                       "(também: variável KRT_SERVER_PASSWORD)."),
        QStringLiteral("arquivo"));
    const QCommandLineOption serverCa(
        "server-ca", QStringLiteral("Usa TLS e aceita só certificados destas autoridades (PEM)."),
        QStringLiteral("arquivo"));
    const QCommandLineOption branch("branch", QStringLiteral("Filial atual do usuário."),
                                    QStringLiteral("código"));
    const QCommandLineOption branchFixed("branch-fixed",
                                         QStringLiteral("O usuário não pode trocar de filial."));
    const QCommandLineOption mask("product-mask",
                                  QStringLiteral("Máscara dos códigos da árvore de produtos."),
                                  QStringLiteral("máscara"));
    const QCommandLineOption db("db", QStringLiteral("Arquivo SQLite das consultas locais."),
                                QStringLiteral("arquivo"));
    const QCommandLineOption dbDriver(
        "db-driver", QStringLiteral("Driver do banco: QSQLITE, QPSQL ou QIBASE (Firebird)."),
        QStringLiteral("driver"));
    const QCommandLineOption dbName(
        "db-name",
        QStringLiteral("Nome do banco (PostgreSQL) ou caminho do arquivo no servidor (Firebird)."),
        QStringLiteral("nome"));
    const QCommandLineOption dbHost("db-host",
                                    QStringLiteral("Servidor do banco (PostgreSQL, Firebird)."),
                                    QStringLiteral("endereço"));
    const QCommandLineOption dbPort("db-port",
                                    QStringLiteral("Porta do banco (PostgreSQL, Firebird)."),
                                    QStringLiteral("porta"));
    const QCommandLineOption dbUser("db-user", QStringLiteral("Usuário do banco."),
                                    QStringLiteral("usuário"));
    const QCommandLineOption dbPassword(
        "db-password",
        QStringLiteral("Senha do banco (prefira KRT_DB_PASSWORD ou o arquivo de configuração)."),
        QStringLiteral("senha"));
    const QCommandLineOption open("open",
                                  QStringLiteral("Abre a tela de cancelamento ao iniciar."));
    const QCommandLineOption screenshot(
        "screenshot", QStringLiteral("Salva uma imagem da janela principal no arquivo e encerra."),
        QStringLiteral("arquivo"));
    p.addOptions(
        {help,     config, module,      serverHost, serverPort, serverUser, serverPasswordFile,
         serverCa, branch, branchFixed, mask,       db,         dbDriver,   dbName,
         dbHost,   dbPort, dbUser,      dbPassword, open,       screenshot});

    if (!p.parse(arguments)) {
        r.error = QStringLiteral("Opção inválida: %1").arg(p.errorText());
        return r;
    }
    if (p.isSet(help)) {
        r.helpText = p.helpText();
        return r;
    }
    if (!p.positionalArguments().isEmpty()) {
        r.error =
            QStringLiteral("Argumento não reconhecido: %1").arg(p.positionalArguments().first());
        return r;
    }

    // Config file first, so the command line wins.
    QString configPath = p.isSet(config) ? p.value(config) : defaultConfigFile();
    if (p.isSet(config) || QFileInfo::exists(configPath)) {
        r.error = applyConfigFile(configPath, o);
        if (!r.error.isEmpty())
            return r;
    }

    if (p.isSet(module))
        o.modulePath = p.value(module);
    if (p.isSet(serverHost))
        o.serverHost = p.value(serverHost);
    if (p.isSet(serverPort) && !parsePort(p.value(serverPort), o.serverPort)) {
        r.error = QStringLiteral("Porta do servidor inválida: %1.").arg(p.value(serverPort));
        return r;
    }
    if (p.isSet(serverUser))
        o.serverUser = p.value(serverUser);
    if (qEnvironmentVariableIsSet("KRT_SERVER_PASSWORD"))
        o.serverPassword = qEnvironmentVariable("KRT_SERVER_PASSWORD");
    if (p.isSet(serverPasswordFile)) {
        r.error = readPasswordFile(p.value(serverPasswordFile), o.serverPassword);
        if (!r.error.isEmpty())
            return r;
    }
    if (p.isSet(serverCa))
        o.serverCaFile = p.value(serverCa);
    if (p.isSet(branch))
        o.branch = p.value(branch);
    if (p.isSet(branchFixed))
        o.branchFixed = true;
    if (p.isSet(mask))
        o.productTreeMask = p.value(mask);
    if (p.isSet(dbDriver))
        o.dbDriver = p.value(dbDriver).toUpper();
    if (p.isSet(db)) {
        o.dbDriver = QStringLiteral("QSQLITE");
        o.dbName = p.value(db);
    }
    if (p.isSet(dbName))
        o.dbName = p.value(dbName);
    if (p.isSet(dbHost))
        o.dbHost = p.value(dbHost);
    if (p.isSet(dbPort) && !parsePort(p.value(dbPort), o.dbPort)) {
        r.error = QStringLiteral("Porta do banco de dados inválida: %1.").arg(p.value(dbPort));
        return r;
    }
    if (p.isSet(dbUser))
        o.dbUser = p.value(dbUser);
    // The environment keeps the password off the command line.
    if (qEnvironmentVariableIsSet("KRT_DB_PASSWORD"))
        o.dbPassword = qEnvironmentVariable("KRT_DB_PASSWORD");
    if (p.isSet(dbPassword))
        o.dbPassword = p.value(dbPassword);
    o.openScreen = p.isSet(open);
    if (p.isSet(screenshot))
        o.screenshotFile = p.value(screenshot);

    if (o.dbDriver != "QSQLITE" && o.dbDriver != "QPSQL" && o.dbDriver != "QIBASE") {
        r.error = QStringLiteral("Driver de banco de dados não suportado: %1 (use QSQLITE, "
                                 "QPSQL ou QIBASE).")
                      .arg(o.dbDriver);
        return r;
    }
    if (o.modulePath.isEmpty())
        o.modulePath = defaultModulePath(applicationDir);
    return r;
}
