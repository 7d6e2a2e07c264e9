#pragma once

#include <QString>

namespace krt::app {

enum class DbKind
{
    SQLite,
    PostgreSQL
};

// Where the data live. Written on the command line as
//   sqlite:/path/to/file.db
//   postgres://user@host:port/database[?sslmode=MODE&sslrootcert=FILE&statement_timeout=MS]
// sslmode is libpq's (disable, allow, prefer, require, verify-ca,
// verify-full; libpq's default, prefer, when absent); statement_timeout ends
// any statement that runs longer (0: never, the default).
// A PostgreSQL password never goes on the command line, where every local
// user sees it in the process list: it comes from a file, from the
// environment, or from libpq's own sources (PGPASSWORD, ~/.pgpass).
struct DbOptions
{
    DbKind kind = DbKind::SQLite;
    QString path; // SQLite file
    QString host = QStringLiteral("127.0.0.1");
    int port = 5432;
    QString user;
    QString password;
    QString database;
    QString sslMode;
    QString sslRootCert;
    int statementTimeoutMs = 0;

    static DbOptions sqlite(const QString& path);
    static DbOptions postgres(const QString& host, int port, const QString& user,
                              const QString& database, const QString& password = {});
    // The options of the first dialect that reads `text` as its address;
    // throws Error on a text no dialect reads, or a bad one (a password in it).
    static DbOptions parse(const QString& text);
    // Takes the password from the first line of `passwordFile` when given,
    // else from the environment variable KRT_DB_PASSWORD when set; otherwise
    // libpq looks for one itself. Throws Error when the file cannot be read.
    void loadPassword(const QString& passwordFile);
    // The same text without the password, for logs.
    QString describe() const;
};

} // namespace krt::app
