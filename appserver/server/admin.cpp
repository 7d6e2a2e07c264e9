// krt-admin: creates and maintains the application server's databases.
//   krt-admin create-demo --database sqlite:demo.db [--invoices N] [--seed S] [--to DAY] [--force]
//   krt-admin migrate --database ...
//   krt-admin consolidate --database ... --branch 0001 --store LJ01 --from 2026-03-02 --to ...
//   krt-admin user add NAME (--branches 0001,0002 [--fixed-branch] | --all-branches)
//   krt-admin user passwd NAME | disable NAME | enable NAME | list
//   krt-admin user branches NAME (--add 0002 | --remove 0001 | --all)
//   krt-admin token-key FILE [--add-key | --promote]
//   krt-admin audit [--branch B] [--user U] [--from DAY] [--to DAY] [--format table|csv|json]
//   krt-admin backup --to FILE
// --config FILE reads the database (and its password file) from the
// server's configuration file; the command line wins.
// Passwords are read from --password-file or from the first line of standard
// input, never from the command line.
#include "appserver/admin/auditreport.h"
#include "appserver/admin/sqlitebackup.h"
#include "appserver/auth/users.h"
#include "appserver/consolidation/consolidator.h"
#include "appserver/db/database.h"
#include "appserver/db/migrator.h"
#include "appserver/db/sql.h"
#include "appserver/demo/demogenerator.h"
#include "appserver/server/configfile.h"
#include "appserver/server/serveroptions.h"
#include "appserver/server/sessions.h"
#include "framework/wire/errors.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace {

void say(const QString& text)
{
    std::printf("%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

int fail(const QString& text)
{
    std::fprintf(stderr, "krt-admin: %s\n", text.toUtf8().constData());
    return 1;
}

bool hasData(krt::app::Database& db)
{
    krt::app::Query q(db.connection(), QStringLiteral("SELECT COUNT(*) FROM FILIAL"));
    q.exec();
    return q.next() && q.integer(0) > 0;
}

// The password of `krt-admin user add|passwd`: the first line of the file, or
// of standard input.
QString readPassword(const QString& file)
{
    QFile in;
    if (file.isEmpty()) {
        if (!in.open(stdin, QIODevice::ReadOnly))
            throw krt::Error(krt::ErrorCode::InvalidArgument,
                             QStringLiteral("não foi possível ler a senha da entrada."));
    } else {
        in.setFileName(file);
        if (!in.open(QIODevice::ReadOnly))
            throw krt::Error(
                krt::ErrorCode::InvalidArgument,
                QStringLiteral("não foi possível ler o arquivo de senha %1.").arg(file));
    }
    QString line = QString::fromUtf8(in.readLine(4096));
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line;
}

QStringList branchList(const QStringList& values)
{
    QStringList list;
    for (const QString& value : values)
        for (const QString& b : value.split(QLatin1Char(','), Qt::SkipEmptyParts))
            list << b.trimmed();
    return list;
}

struct BranchChange
{
    QStringList add;
    QStringList remove;
    bool all = false;
};

int userCommand(krt::app::Database& db, const QStringList& args, const QString& branches,
                bool allBranches, bool fixedBranch, const QString& passwordFile,
                const BranchChange& change)
{
    krt::app::UserStore users(db);
    const QString action = args.value(1);
    const QString name = args.value(2);
    if (action == QLatin1String("list") && args.size() == 2) {
        for (const krt::app::UserRecord& u : users.list())
            say(QStringLiteral("%1\t%2\t%3%4")
                    .arg(u.name, u.active ? QStringLiteral("ativo") : QStringLiteral("desativado"),
                         u.allBranches ? QStringLiteral("todas as filiais")
                                       : u.branches.join(QLatin1Char(',')),
                         u.fixedBranch ? QStringLiteral(" (filial fixa)") : QString()));
        return 0;
    }
    if (args.size() != 3 || name.isEmpty())
        return fail(QStringLiteral("use: user add|passwd|disable|enable|branches NOME, ou user "
                                   "list."));
    if (action == QLatin1String("add")) {
        QStringList list;
        for (const QString& b : branches.split(QLatin1Char(','), Qt::SkipEmptyParts))
            list << b.trimmed();
        users.add(name, readPassword(passwordFile), allBranches, list, fixedBranch);
        say(QStringLiteral("usuário %1 criado.").arg(name));
        return 0;
    }
    if (action == QLatin1String("passwd")) {
        users.setPassword(name, readPassword(passwordFile));
        say(QStringLiteral("senha do usuário %1 alterada.").arg(name));
        return 0;
    }
    if (action == QLatin1String("branches")) {
        const krt::app::UserRecord u =
            users.changeBranches(name, change.add, change.remove, change.all);
        say(QStringLiteral("filiais do usuário %1: %2.")
                .arg(name,
                     u.allBranches ? QStringLiteral("todas") : u.branches.join(QLatin1Char(','))));
        return 0;
    }
    if (action == QLatin1String("disable") || action == QLatin1String("enable")) {
        users.setActive(name, action == QLatin1String("enable"));
        say(QStringLiteral("usuário %1 %2.")
                .arg(name, action == QLatin1String("enable") ? QStringLiteral("ativado")
                                                             : QStringLiteral("desativado")));
        return 0;
    }
    return fail(QStringLiteral("ação de usuário desconhecida \"%1\".").arg(action.left(40)));
}

// Writes the session keys of every server process, the signing key first. A
// key changes in two steps, each followed by restarting the processes one by
// one, so that no process ever meets a token signed with a key it lacks:
// `add` puts a new key last (every process accepts it, none signs with it
// yet); `promote` makes that last key sign and keeps the one it replaces,
// dropping older ones (tokens live 8 h: wait that long between promotions).
// The file is written beside itself with mode 600 and renamed into place.
enum class KeyChange
{
    Create,
    Add,
    Promote,
};

int tokenKeyCommand(const QString& path, KeyChange change)
{
    using krt::app::SessionTokens;
    QList<QByteArray> keys;
    if (change == KeyChange::Create) {
        if (QFile::exists(path))
            return fail(QStringLiteral("o arquivo %1 já existe; use --add e --promote para trocar "
                                       "a chave.")
                            .arg(path));
        keys << SessionTokens::newKey();
    } else {
        keys = SessionTokens::readKeyFile(path);
        if (change == KeyChange::Add) {
            keys << SessionTokens::newKey();
        } else {
            if (keys.size() < 2)
                return fail(
                    QStringLiteral("%1 tem uma chave só: use --add antes de --promote.").arg(path));
            keys = {keys.last(), keys.first()};
        }
    }
    const QByteArray text = SessionTokens::keyFileText(keys);
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary = target + ".novo";
    ::unlink(temporary.constData());
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(QStringLiteral("não foi possível criar %1.").arg(QFile::decodeName(temporary)));
    const bool written =
        ::write(fd, text.constData(), size_t(text.size())) == text.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!written || ::rename(temporary.constData(), target.constData()) != 0) {
        ::unlink(temporary.constData());
        return fail(QStringLiteral("não foi possível gravar %1.").arg(path));
    }
    switch (change) {
    case KeyChange::Create:
        say(QStringLiteral("chave de sessão criada em %1 (permissões 600).").arg(path));
        break;
    case KeyChange::Add:
        say(QStringLiteral("chave nova acrescentada a %1, ainda sem assinar; reinicie os "
                           "servidores um a um e depois use --promote.")
                .arg(path));
        break;
    case KeyChange::Promote:
        say(QStringLiteral("a chave nova de %1 passa a assinar (a anterior segue valendo); "
                           "reinicie os servidores um a um.")
                .arg(path));
        break;
    }
    return 0;
}

// `krt-admin audit`: the audit trail, newest first.
int auditCommand(krt::app::Database& db, const QString& branch, const QString& user,
                 const QString& from, const QString& to, const QString& format,
                 const QString& limit)
{
    krt::app::AuditFilter filter;
    filter.branch = branch;
    filter.user = user;
    filter.from = from.isEmpty() ? QDate() : QDate::fromString(from, Qt::ISODate);
    filter.to = to.isEmpty() ? QDate() : QDate::fromString(to, Qt::ISODate);
    if ((!from.isEmpty() && !filter.from.isValid()) || (!to.isEmpty() && !filter.to.isValid()))
        return fail(QStringLiteral("audit: --from e --to são datas AAAA-MM-DD."));
    bool ok = false;
    filter.limit = limit.toInt(&ok);
    if (!ok || filter.limit < 0)
        return fail(QStringLiteral("audit: --limit inválido \"%1\".").arg(limit));
    if (format != QLatin1String("table") && format != QLatin1String("csv") &&
        format != QLatin1String("json"))
        return fail(QStringLiteral("audit: --format é table, csv ou json."));
    const krt::app::AuditPage page = krt::app::readAudit(db, filter);
    const QByteArray out = format == QLatin1String("csv")    ? krt::app::auditCsv(page.records)
                           : format == QLatin1String("json") ? krt::app::auditJson(page.records)
                                                             : krt::app::auditTable(page).toUtf8();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    // Machine formats carry no footer: the one line goes to the error stream.
    if (page.more && format != QLatin1String("table"))
        std::fprintf(stderr,
                     "krt-admin: audit: só os %d registros mais recentes (--limit 0 "
                     "mostra todos).\n",
                     filter.limit);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("krt-admin"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Administração do banco do servidor de aplicação.\n"
                       "Comandos: create-demo | migrate | consolidate | user | audit | backup | "
                       "token-key"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("comando"),
                                 QStringLiteral("create-demo, migrate, consolidate, user, audit, "
                                                "backup ou token-key"));
    const QCommandLineOption database({QStringLiteral("d"), QStringLiteral("database")},
                                      QStringLiteral("sqlite:ARQUIVO ou postgres://..."),
                                      QStringLiteral("banco"),
                                      QStringLiteral("sqlite:krt52600.db"));
    const QCommandLineOption invoices(QStringLiteral("invoices"),
                                      QStringLiteral("create-demo: cerca de N notas fiscais "
                                                     "(padrão: base pequena de demonstração)."),
                                      QStringLiteral("n"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("create-demo: semente (padrão 52600)."),
                                  QStringLiteral("s"), QStringLiteral("52600"));
    const QCommandLineOption force(
        QStringLiteral("force"), QStringLiteral("create-demo: apaga o arquivo SQLite existente."));
    const QCommandLineOption branch(QStringLiteral("branch"), QStringLiteral("Filial."),
                                    QStringLiteral("filial"));
    const QCommandLineOption store(QStringLiteral("store"), QStringLiteral("Loja."),
                                   QStringLiteral("loja"));
    const QCommandLineOption from(QStringLiteral("from"),
                                  QStringLiteral("Data inicial (AAAA-MM-DD)."),
                                  QStringLiteral("data"));
    const QCommandLineOption to(QStringLiteral("to"),
                                QStringLiteral("Data final (AAAA-MM-DD); em create-demo, o último "
                                               "dia de vendas; em backup, o arquivo da cópia."),
                                QStringLiteral("data"));
    const QCommandLineOption branches(QStringLiteral("branches"),
                                      QStringLiteral("user add: filiais do usuário (0001,0002)."),
                                      QStringLiteral("filiais"));
    const QCommandLineOption allBranches(QStringLiteral("all-branches"),
                                         QStringLiteral("user add: acesso a todas as filiais."));
    const QCommandLineOption fixedBranch(
        QStringLiteral("fixed-branch"),
        QStringLiteral("user add: o usuário trabalha só na sua (única) filial."));
    const QCommandLineOption passwordFile(
        QStringLiteral("password-file"),
        QStringLiteral("user add/passwd: arquivo cuja primeira linha é a senha (padrão: a "
                       "primeira linha da entrada)."),
        QStringLiteral("arquivo"));
    const QCommandLineOption dbPasswordFile(
        QStringLiteral("database-password-file"),
        QStringLiteral("Arquivo cuja primeira linha é a senha do PostgreSQL."),
        QStringLiteral("arquivo"));
    const QCommandLineOption addBranch(
        QStringLiteral("add"),
        QStringLiteral("user branches: filiais a incluir (0002,0003; pode repetir)."),
        QStringLiteral("filiais"));
    const QCommandLineOption removeBranch(
        QStringLiteral("remove"),
        QStringLiteral("user branches: filiais a retirar (pode repetir)."),
        QStringLiteral("filiais"));
    const QCommandLineOption everyBranch(
        QStringLiteral("all"), QStringLiteral("user branches: acesso a todas as filiais."));
    const QCommandLineOption addKey(
        QStringLiteral("add-key"),
        QStringLiteral("token-key: acrescenta uma chave nova, aceita mas ainda sem assinar."));
    const QCommandLineOption promoteKey(
        QStringLiteral("promote"),
        QStringLiteral("token-key: a última chave passa a assinar; a anterior segue valendo."));
    const QCommandLineOption config(
        QStringLiteral("config"),
        QStringLiteral("Arquivo de configuração do servidor (/etc/krt/appserver.conf): dele vêm "
                       "--database e --database-password-file, se não dados aqui."),
        QStringLiteral("arquivo"));
    const QCommandLineOption user(QStringLiteral("user"),
                                  QStringLiteral("audit: só os registros deste usuário."),
                                  QStringLiteral("usuário"));
    const QCommandLineOption format(QStringLiteral("format"),
                                    QStringLiteral("audit: table (padrão), csv ou json."),
                                    QStringLiteral("formato"), QStringLiteral("table"));
    const QCommandLineOption limit(
        QStringLiteral("limit"),
        QStringLiteral("audit: no máximo N registros, os mais recentes (padrão 100; 0: todos)."),
        QStringLiteral("n"), QStringLiteral("100"));
    parser.addOptions(
        {database,       invoices,  seed,         force,       branch,      store,
         from,           to,        branches,     allBranches, fixedBranch, passwordFile,
         dbPasswordFile, addBranch, removeBranch, everyBranch, config,      user,
         format,         limit,     addKey,       promoteKey});
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    if (command == QLatin1String("token-key")) {
        if (args.size() != 2)
            return fail(QStringLiteral("informe o arquivo: krt-admin token-key ARQUIVO "
                                       "[--add-key | --promote]."));
        if (parser.isSet(addKey) && parser.isSet(promoteKey))
            return fail(QStringLiteral("--add-key e --promote são passos separados."));
        try {
            return tokenKeyCommand(args[1], parser.isSet(addKey)       ? KeyChange::Add
                                            : parser.isSet(promoteKey) ? KeyChange::Promote
                                                                       : KeyChange::Create);
        } catch (const krt::Error& e) {
            return fail(e.text());
        }
    }
    if (args.isEmpty() || (command != QLatin1String("user") && args.size() != 1))
        return fail(QStringLiteral("informe um comando: create-demo, migrate, consolidate, user, "
                                   "audit, backup ou token-key."));

    try {
        // The database and its password: the command line's, else the
        // server's configuration file's (--config), else the defaults.
        std::optional<krt::app::ConfigFile> file;
        if (parser.isSet(config))
            file = krt::app::ConfigFile::read(parser.value(config), krt::app::serverConfigNames());
        const auto fromFile = [&](const QCommandLineOption& o) {
            return file && !parser.isSet(o) && file->contains(o.names().last());
        };
        krt::app::DbOptions options;
        try {
            options = krt::app::DbOptions::parse(fromFile(database) ? file->value("database")
                                                                    : parser.value(database));
        } catch (const krt::Error& e) {
            throw krt::Error(krt::ErrorCode::InvalidArgument,
                             fromFile(database) ? file->at("database", e.text()) : e.text());
        }
        QString databasePasswordFile = parser.value(dbPasswordFile);
        if (fromFile(dbPasswordFile)) {
            const QString name = QStringLiteral("database-password-file");
            try {
                databasePasswordFile = krt::app::resolveCredential(file->value(name));
            } catch (const krt::Error& e) {
                throw krt::Error(
                    krt::ErrorCode::InvalidArgument,
                    file->at(name, e.text() + QStringLiteral(" Dê --database-password-file.")));
            }
        }
        options.loadPassword(databasePasswordFile);

        // A copy is taken of the database as it is: nothing migrates first,
        // so a copy made before an upgrade is of the schema before it.
        if (command == QLatin1String("backup")) {
            if (parser.value(to).isEmpty())
                return fail(QStringLiteral("backup precisa de --to ARQUIVO."));
            if (options.kind == krt::app::DbKind::SQLite && !QFileInfo::exists(options.path))
                return fail(QStringLiteral("o banco %1 não existe.").arg(options.path));
            krt::app::Database db(options);
            const krt::app::BackupReport r = krt::app::backupSqlite(db, parser.value(to));
            say(QStringLiteral("cópia de %1 gravada em %2: %3 páginas, %4 bytes; PRAGMA "
                               "integrity_check: ok.")
                    .arg(options.describe(), parser.value(to))
                    .arg(r.pages)
                    .arg(r.bytes));
            return 0;
        }
        if (command == QLatin1String("create-demo") && parser.isSet(force) &&
            options.kind == krt::app::DbKind::SQLite) {
            for (const QString& suffix :
                 {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
                QFile::remove(options.path + suffix);
        }
        krt::app::Database db(options);
        for (const QString& name : krt::app::Migrator(db).migrate())
            say(QStringLiteral("migração aplicada: %1").arg(name));

        if (command == QLatin1String("migrate"))
            return 0;

        if (command == QLatin1String("user"))
            return userCommand(db, args, parser.value(branches), parser.isSet(allBranches),
                               parser.isSet(fixedBranch), parser.value(passwordFile),
                               BranchChange{branchList(parser.values(addBranch)),
                                            branchList(parser.values(removeBranch)),
                                            parser.isSet(everyBranch)});

        if (command == QLatin1String("audit"))
            return auditCommand(db, parser.value(branch), parser.value(user), parser.value(from),
                                parser.value(to), parser.value(format), parser.value(limit));

        if (command == QLatin1String("create-demo")) {
            if (hasData(db))
                return fail(QStringLiteral("o banco %1 já tem dados; use --force (SQLite) ou um "
                                           "banco vazio.")
                                .arg(options.describe()));
            krt::app::DemoConfig config;
            if (parser.isSet(invoices)) {
                bool ok = false;
                const int n = parser.value(invoices).toInt(&ok);
                if (!ok || n < 1 || n > 10000000)
                    return fail(
                        QStringLiteral("--invoices inválido \"%1\".").arg(parser.value(invoices)));
                config = krt::app::DemoConfig::forInvoices(n);
            }
            bool seedOk = false;
            config.seed = parser.value(seed).toUInt(&seedOk);
            if (!seedOk)
                return fail(QStringLiteral("--seed inválido \"%1\".").arg(parser.value(seed)));
            if (parser.isSet(to)) {
                // The same data for the same seed, shifted so that the sales
                // end on the given day (the screen's period defaults to today).
                const QDate last = QDate::fromString(parser.value(to), Qt::ISODate);
                if (!last.isValid())
                    return fail(QStringLiteral("--to inválido \"%1\".").arg(parser.value(to)));
                config.firstDay = last.addDays(-(config.days - 1));
            }
            const krt::app::DemoSummary s = krt::app::generateDemo(db, config);
            say(QStringLiteral("banco de demonstração %1: %2 filiais, %3 lojas, %4 caixas, %5 "
                               "clientes, %6 produtos, %7 vendas de %8 a %9, %10 notas fiscais "
                               "(%11 aprovadas), %12 retiradas.")
                    .arg(options.describe())
                    .arg(s.branches)
                    .arg(s.stores)
                    .arg(s.registers)
                    .arg(s.customers)
                    .arg(s.products)
                    .arg(s.sales)
                    .arg(config.firstDay.toString(QStringLiteral("dd/MM/yyyy")),
                         config.lastDay().toString(QStringLiteral("dd/MM/yyyy")))
                    .arg(s.invoices)
                    .arg(s.approved)
                    .arg(s.withdrawals));
            return 0;
        }

        if (command == QLatin1String("consolidate")) {
            const QDate a = QDate::fromString(parser.value(from), Qt::ISODate);
            const QDate b = QDate::fromString(parser.value(to), Qt::ISODate);
            if (parser.value(branch).isEmpty() || parser.value(store).isEmpty() || !a.isValid() ||
                !b.isValid())
                return fail(QStringLiteral("consolidate precisa de --branch, --store, --from e "
                                           "--to válidos."));
            const krt::app::ConsolidationResult r = krt::app::Consolidator(db).consolidate(
                parser.value(branch), parser.value(store), a, b);
            say(QStringLiteral("consolidadas %1 vendas: %2 notas fiscais, %3 retiradas.")
                    .arg(r.sales)
                    .arg(r.invoices)
                    .arg(r.withdrawals));
            return 0;
        }
        return fail(QStringLiteral("comando desconhecido \"%1\".").arg(command));
    } catch (const krt::Error& e) {
        return fail(e.text());
    }
}
