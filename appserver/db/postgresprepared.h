#pragma once

// The statements a PostgreSQL connection keeps prepared. A call's statements
// are new objects every time, but their texts are few and repeat on every
// call: the second time a text runs on a connection it is prepared there,
// and from then on it is only bound and run, never parsed or planned again.
// Private to appserver/db.

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <libpq-fe.h>
#include <vector>

namespace krt::app::detail {

struct PreparedText
{
    QByteArray sql;         // with PostgreSQL's $1, $2 … for Qt's "?"
    QByteArray name;        // empty while not prepared on the server
    std::vector<Oid> types; // the parameter types it was prepared with
    int runs = 0;
};

// The entry for `sql` on the connection `db` reaches through `conn`, or
// nullptr once the connection keeps as many texts as it may or has lost its
// prepared statements three times (the text then runs unprepared, as any
// text does the first time). The entry lives as long as the connection.
PreparedText* preparedText(const QSqlDatabase& db, PGconn* conn, const QString& sql);

// Every text of `conn` forgotten as prepared (the server no longer has them:
// "DEALLOCATE ALL" sent by a pooler between us and it, or a pooler that
// hands each transaction another server connection).
void forgetPrepared(PGconn* conn);

// Whether `r` failed because the server no longer has a prepared statement
// of `conn` (a pooler between us sent "DEALLOCATE ALL": every text of `conn`
// is forgotten as prepared) or the plan of `text` no longer fits its tables
// (their columns changed: `text` is prepared again on its next run).
bool preparedStatementGone(PGconn* conn, PreparedText* text, const PGresult* r);

// Qt's "?" placeholders as PostgreSQL's $1, $2 …, leaving alone what sits in
// quotes, dollar quotes and comments.
QByteArray numberedParameters(const QString& sql);

} // namespace krt::app::detail
