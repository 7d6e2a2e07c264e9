#pragma once

// The Firebird server that the test command started (scripts/fb-server.sh),
// and throw-away databases made on it with isql-fb, the tool the host's
// documentation uses for the same job.
#include "framework/db/dtmdbgeral.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

struct FirebirdServer
{
    QString host;
    int port = 0;
    QString user;
    QString password;
    // Server-side folder where the test databases go (the one of KRT_FB_DB).
    QString folder;

    static FirebirdServer fromEnvironment()
    {
        FirebirdServer s;
        s.host = qEnvironmentVariable("KRT_FB_HOST");
        s.port = qEnvironmentVariable("KRT_FB_PORT").toInt();
        s.user = qEnvironmentVariable("KRT_FB_USER");
        s.password = qEnvironmentVariable("KRT_FB_PASSWORD");
        const QString db = qEnvironmentVariable("KRT_FB_DB");
        if (!db.isEmpty())
            s.folder = QFileInfo(db).absolutePath();
        return s;
    }

    bool available() const
    {
        return !host.isEmpty() && port > 0 && !user.isEmpty() && !folder.isEmpty();
    }

    // How isql-fb names a database on this server.
    QString url(const QString& file) const
    {
        return QStringLiteral("%1/%2:%3").arg(host).arg(port).arg(file);
    }

    krt::DatabaseSettings settings(const QString& file) const
    {
        krt::DatabaseSettings s;
        s.driver = QStringLiteral("QIBASE");
        s.databaseName = file;
        s.host = host;
        s.port = port;
        s.user = user;
        s.password = password;
        return s;
    }

    // Runs an isql-fb script, stopping at the first error. The credentials go
    // through the environment, never on a command line. Returns an empty text
    // on success, else what isql-fb said.
    QString runIsql(const QString& script) const
    {
        QString program = QStandardPaths::findExecutable(QStringLiteral("isql-fb"));
        if (program.isEmpty())
            program = QStandardPaths::findExecutable(QStringLiteral("isql"));
        if (program.isEmpty())
            return QStringLiteral("isql-fb not found");
        QProcess isql;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ISC_USER"), user);
        env.insert(QStringLiteral("ISC_PASSWORD"), password);
        isql.setProcessEnvironment(env);
        isql.setProcessChannelMode(QProcess::MergedChannels);
        isql.start(program, {QStringLiteral("-q"), QStringLiteral("-bail")});
        if (!isql.waitForStarted())
            return isql.errorString();
        isql.write(script.toUtf8());
        isql.closeWriteChannel();
        if (!isql.waitForFinished(120000)) {
            isql.kill();
            isql.waitForFinished();
            return QStringLiteral("isql-fb did not finish");
        }
        const QString output = QString::fromUtf8(isql.readAll());
        if (isql.exitStatus() != QProcess::NormalExit || isql.exitCode() != 0)
            return output.isEmpty() ? QStringLiteral("isql-fb failed") : output;
        return {};
    }
};

// A new UTF8 database with a random name on the server, built by the given
// isql-fb scripts (paths relative to the source tree), dropped at the end.
class FirebirdTestDatabase
{
public:
    FirebirdTestDatabase(const FirebirdServer& server, const QStringList& scripts)
        : m_server(server),
          m_file(QDir(server.folder)
                     .filePath(QStringLiteral("krt_%1.fdb")
                                   .arg(QRandomGenerator::global()->generate64(), 0, 16)))
    {
        QString script = QStringLiteral("CREATE DATABASE '%1' DEFAULT CHARACTER SET UTF8;\n")
                             .arg(quoted(server.url(m_file)));
        m_created = true;
        for (const QString& s : scripts)
            script += QStringLiteral("INPUT '%1';\n")
                          .arg(quoted(qEnvironmentVariable("KRT_SOURCE_DIR") + u'/' + s));
        m_error = server.runIsql(script);
    }

    ~FirebirdTestDatabase() { drop(); }

    // Empty when the database and its scripts were made; else isql-fb's text.
    const QString& error() const { return m_error; }
    const QString& file() const { return m_file; }

    // Runs more statements on the database.
    QString run(const QString& statements) const
    {
        return m_server.runIsql(
            QStringLiteral("CONNECT '%1';\n").arg(quoted(m_server.url(m_file))) + statements);
    }

    // Drops the database; every connection to it must be closed by now.
    QString drop()
    {
        if (!m_created)
            return {};
        m_created = false;
        return run(QStringLiteral("DROP DATABASE;\n"));
    }

private:
    static QString quoted(QString text) { return text.replace(u'\'', QStringLiteral("''")); }

    FirebirdServer m_server;
    QString m_file;
    QString m_error;
    bool m_created = false;
};
