#include "appserver/db/postgresprepared.h"

#include <QHashFunctions>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <unordered_map>

namespace krt::app::detail {

namespace {

// More texts than the server's statements: a text built anew each time (none
// is today) cannot fill the connection's memory on the database server.
constexpr size_t kMostTexts = 256;
// A pooler in transaction mode (PgBouncer before 1.21) hands each
// transaction another server connection, where our statements do not exist:
// after this many losses a connection stops preparing.
constexpr int kMostLosses = 3;

struct TextHash
{
    size_t operator()(const QString& s) const noexcept { return qHash(s); }
};

struct ConnectionTexts
{
    PGconn* conn = nullptr;
    // Connection names are never reused: a new connection that libpq happens
    // to place at a closed one's address starts with nothing prepared.
    QString connectionName;
    std::unordered_map<QString, PreparedText, TextHash> texts;
    int losses = 0;
};

// Connections are used only by the thread that opened them.
thread_local std::vector<ConnectionTexts> connections;

ConnectionTexts& textsOf(const QSqlDatabase& db, PGconn* conn)
{
    const QString name = db.connectionName();
    for (ConnectionTexts& c : connections)
        if (c.conn == conn) {
            if (c.connectionName != name) {
                c.connectionName = name;
                c.texts.clear();
                c.losses = 0;
            }
            return c;
        }
    // A connection this thread has not used yet: those it closed go first.
    std::erase_if(connections, [](const ConnectionTexts& c) {
        return !QSqlDatabase::contains(c.connectionName);
    });
    connections.push_back(ConnectionTexts{conn, name, {}, 0});
    return connections.back();
}

} // namespace

PreparedText* preparedText(const QSqlDatabase& db, PGconn* conn, const QString& sql)
{
    ConnectionTexts& c = textsOf(db, conn);
    if (c.losses >= kMostLosses)
        return nullptr;
    if (const auto it = c.texts.find(sql); it != c.texts.end())
        return &it->second;
    if (c.texts.size() >= kMostTexts)
        return nullptr;
    PreparedText& text = c.texts[sql];
    text.sql = numberedParameters(sql);
    return &text;
}

void forgetPrepared(PGconn* conn)
{
    for (ConnectionTexts& c : connections)
        if (c.conn == conn) {
            ++c.losses;
            for (auto& [sql, text] : c.texts)
                text.name.clear(); // runs has passed one: prepared on its next run
        }
}

bool preparedStatementGone(PGconn* conn, PreparedText* text, const PGresult* r)
{
    const char* state = PQresultErrorField(r, PG_DIAG_SQLSTATE);
    if (!state)
        return false;
    if (std::strcmp(state, "26000") == 0) { // invalid statement name
        forgetPrepared(conn);
        return true;
    }
    if (std::strcmp(state, "0A000") == 0 && text) { // cached plan must not change result type
        text->name.clear();
        return true;
    }
    return false;
}

QByteArray numberedParameters(const QString& sql)
{
    const QByteArray in = sql.toUtf8();
    QByteArray out;
    out.reserve(in.size() + 16);
    int number = 0;
    qsizetype i = 0;
    const qsizetype n = in.size();
    auto copyUntil = [&](qsizetype end) {
        out.append(in.constData() + i, end - i);
        i = end;
    };
    while (i < n) {
        const char c = in[i];
        if (c == '\'' || c == '"') {
            qsizetype end = i + 1;
            while (end < n) {
                if (in[end] == c) {
                    if (end + 1 < n && in[end + 1] == c) {
                        end += 2; // a doubled quote
                        continue;
                    }
                    break;
                }
                ++end;
            }
            copyUntil(std::min(end + 1, n));
        } else if (c == '-' && i + 1 < n && in[i + 1] == '-') {
            const qsizetype end = in.indexOf('\n', i);
            copyUntil(end < 0 ? n : end);
        } else if (c == '/' && i + 1 < n && in[i + 1] == '*') {
            const qsizetype end = in.indexOf("*/", i + 2);
            copyUntil(end < 0 ? n : end + 2);
        } else if (c == '$') {
            // $tag$ … $tag$ (a tag of letters, digits and _, or none).
            qsizetype tagEnd = i + 1;
            while (tagEnd < n &&
                   (std::isalnum(static_cast<unsigned char>(in[tagEnd])) || in[tagEnd] == '_'))
                ++tagEnd;
            if (tagEnd < n && in[tagEnd] == '$' &&
                !(tagEnd > i + 1 && std::isdigit(static_cast<unsigned char>(in[i + 1])))) {
                const QByteArray tag = in.mid(i, tagEnd - i + 1);
                const qsizetype close = in.indexOf(tag, tagEnd + 1);
                copyUntil(close < 0 ? n : close + tag.size());
            } else {
                copyUntil(i + 1);
            }
        } else if (c == '?') {
            out += '$';
            out += QByteArray::number(++number);
            ++i;
        } else {
            copyUntil(i + 1);
        }
    }
    return out;
}

} // namespace krt::app::detail
