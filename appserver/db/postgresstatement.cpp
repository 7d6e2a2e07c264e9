// Statements on the connection's own libpq handle. Rows come one at a time
// (libpq's single-row mode) while the caller reads them, so a list of any
// length needs memory for one row; Qt's driver does the same but turns every
// value into a QVariant and every text into UTF-16, which doubled the cost of
// a long list. Texts arrive as UTF-8 and dates as ISO text: the connection is
// used this way only when its session says so (Qt's driver sets both).
//
// One connection runs one command at a time. A statement whose rows are still
// arriving when another statement of the same connection runs first keeps the
// rest of its rows in memory, so callers may nest statements as they please.
#include "appserver/db/postgrespipeline.h"
#include "appserver/db/postgresprepared.h"
#include "appserver/db/statement.h"

#include <QSqlDriver>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <cstring>
#include <deque>
#include <libpq-fe.h>
#include <utility>
#include <vector>

namespace krt::app::detail {

namespace {

constexpr Oid kTimestampTz = 1184;

PGconn* postgresHandle(const QSqlDatabase& db)
{
    const QVariant handle = db.driver()->handle();
    // PGconn is a typedef of struct pg_conn.
    if (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0)
        return nullptr;
    PGconn* conn = *static_cast<PGconn* const*>(handle.data());
    if (!conn)
        return nullptr;
    const char* encoding = PQparameterStatus(conn, "client_encoding");
    const char* dateStyle = PQparameterStatus(conn, "DateStyle");
    // Qt's driver asks for 'UNICODE', PostgreSQL's other name for UTF8.
    if (!encoding || (qstricmp(encoding, "UTF8") != 0 && qstricmp(encoding, "UNICODE") != 0) ||
        !dateStyle || std::strncmp(dateStyle, "ISO", 3) != 0)
        return nullptr;
    return conn;
}

class PostgresStatement;

// The statement of each connection of this thread whose rows are still on the
// way (connections are used by the thread that opened them).
thread_local std::vector<std::pair<PGconn*, PostgresStatement*>> streaming;

class PostgresStatement final : public Statement
{
public:
    PostgresStatement(const QSqlDatabase& db, PGconn* conn, const QString& sql)
        : conn_(conn), source_(sql), text_(preparedText(db, conn, sql))
    {
        if (!text_)
            sql_ = numberedParameters(sql);
    }
    ~PostgresStatement() override
    {
        discardRows();
        for (PGresult* r : held_)
            PQclear(r);
    }
    PostgresStatement(const PostgresStatement&) = delete;
    PostgresStatement& operator=(const PostgresStatement&) = delete;

    void bind(const QVariant& value) override
    {
        if (executed_) {
            values_.clear();
            types_.clear();
            executed_ = false;
        }
        types_.push_back(0); // typed by the statement, as a quoted literal would be
        if (value.isNull()) {
            values_.emplace_back();
            return;
        }
        switch (value.metaType().id()) {
        case QMetaType::Bool:
            values_.push_back(value.toBool() ? QByteArrayLiteral("true")
                                             : QByteArrayLiteral("false"));
            break;
        case QMetaType::Double:
        case QMetaType::Float: {
            char text[32];
            const auto r = std::to_chars(text, text + sizeof text, value.toDouble());
            values_.emplace_back(text, r.ptr - text);
            break;
        }
        case QMetaType::QDate:
            values_.push_back(value.toDate().toString(Qt::ISODate).toLatin1());
            break;
        case QMetaType::QDateTime:
            // The instant, as a moment in UTC: the column's own type decides
            // how it is kept.
            values_.push_back(
                value.toDateTime().toUTC().toString(u"yyyy-MM-ddTHH:mm:ss.zzzZ").toLatin1());
            types_.back() = kTimestampTz;
            break;
        default:
            values_.push_back(value.toString().toUtf8());
        }
    }

    void exec() override { run(true); }

    // Inside a transaction the statement goes out in the connection's
    // pipeline and its outcome is read with the next statement that needs an
    // answer (at the latest the COMMIT): see postgrespipeline.h. Anywhere
    // else it simply runs.
    void execDeferred() override
    {
        discardRows();
        clearHeld();
        if (!pipelining(conn_)) {
            settle(conn_);
            if (PQtransactionStatus(conn_) != PQTRANS_INTRANS)
                return run(true);
            if (dueForPrepare())
                prepare(); // before the pipeline: PQprepare waits for its answer
            if (!startPipeline(conn_))
                return run(false);
        } else if (dueForPrepare()) {
            sendPrepare();
        }
        executed_ = true;
        send();
        sentInPipeline(conn_, shown(), text_, false);
    }

    void run(bool mayPrepare)
    {
        // Whatever this statement still had, and the connection for us.
        discardRows();
        clearHeld();
        settle(conn_);
        executed_ = true; // without new binds, the next exec() runs with these
        const bool inPipeline = pipelining(conn_);
        if (mayPrepare && dueForPrepare()) {
            if (inPipeline)
                sendPrepare();
            else
                prepare();
        }
        const bool prepared = send();
        affected_ = 0;
        if (inPipeline)
            return endPipeline(prepared);
        PQsetSingleRowMode(conn_);
        PGresult* r = PQgetResult(conn_);
        switch (PQresultStatus(r)) {
        case PGRES_SINGLE_TUPLE:
            current_ = r;
            row_ = -1;
            streaming.emplace_back(conn_, this);
            return;
        case PGRES_TUPLES_OK:
            current_ = r;
            row_ = -1;
            drainConnection(conn_);
            return;
        case PGRES_COMMAND_OK:
            countAffected(r);
            drainConnection(conn_);
            return;
        default:
            if (prepared && preparedIsGone(r)) {
                PQclear(r);
                drainConnection(conn_);
                // Alone, the statement simply runs again unprepared; inside a
                // transaction, the transaction has failed and runs again.
                if (PQtransactionStatus(conn_) == PQTRANS_IDLE)
                    return run(false);
                failPreparedGone();
            }
            failResult(QStringLiteral("executar \"%1\"").arg(shown()), r);
        }
    }

    bool next() override
    {
        for (;;) {
            if (current_ && row_ + 1 < PQntuples(current_)) {
                ++row_;
                return true;
            }
            clearCurrent();
            if (!held_.empty()) {
                current_ = held_.front();
                held_.pop_front();
                continue;
            }
            if (!heldError_.isEmpty()) {
                const QString error = std::exchange(heldError_, QString());
                failStatement(QStringLiteral("ler \"%1\"").arg(shown()), error, heldTransient_);
            }
            if (!isStreaming())
                return false;
            PGresult* r = PQgetResult(conn_);
            switch (PQresultStatus(r)) {
            case PGRES_SINGLE_TUPLE:
                current_ = r;
                row_ = -1;
                continue;
            case PGRES_TUPLES_OK: // the end of the rows
                PQclear(r);
                stopStreaming();
                drainConnection(conn_);
                return false;
            default:
                stopStreaming();
                failResult(QStringLiteral("ler \"%1\"").arg(shown()), r);
            }
        }
    }

    bool isNull(int col) const override { return PQgetisnull(current_, row_, col); }

    std::string_view utf8(int col) const override
    {
        return std::string_view(PQgetvalue(current_, row_, col),
                                size_t(PQgetlength(current_, row_, col)));
    }

    QVariant value(int col) const override
    {
        if (isNull(col))
            return QVariant();
        switch (PQftype(current_, col)) {
        case 16: // boolean
            return QVariant(utf8(col) == "t");
        case 20: // int8
        case 21: // int2
        case 23: // int4
            return QVariant(integer(col));
        case 700:  // float4
        case 701:  // float8
        case 1700: // numeric
            return QVariant(number(col));
        case 1082: // date
            return QVariant(date(col));
        default:
            return QVariant(text(col));
        }
    }

    double number(int col) const override
    {
        const std::string_view v = utf8(col);
        double d = 0;
        std::from_chars(v.data(), v.data() + v.size(), d);
        return d;
    }

    qint64 integer(int col) const override
    {
        const std::string_view v = utf8(col);
        qint64 n = 0;
        const auto r = std::from_chars(v.data(), v.data() + v.size(), n);
        if (r.ptr != v.data() + v.size()) // "12.5": a numeric column read as a whole number
            return qint64(number(col));
        return n;
    }

    int rowsAffected() const override { return affected_; }
    // Known once the statement ran and until its rows are read.
    int columnCount() const override { return current_ ? PQnfields(current_) : 0; }
    QString columnName(int col) const override
    {
        return current_ ? QString::fromUtf8(PQfname(current_, col)) : QString();
    }

    // A text run more than once on the connection is parsed and planned
    // once by the server: about a third less per run of a short statement.
    bool dueForPrepare() const { return text_ && text_->name.isEmpty() && ++text_->runs >= 2; }

    static QByteArray newName()
    {
        static std::atomic<quint64> next{0};
        return "krt_" + QByteArray::number(++next);
    }

    void prepare()
    {
        const QByteArray name = newName();
        PGresult* r = PQprepare(conn_, name.constData(), text_->sql.constData(), int(types_.size()),
                                types_.data());
        if (PQresultStatus(r) != PGRES_COMMAND_OK)
            failResult(QStringLiteral("preparar \"%1\"").arg(shown()), r);
        PQclear(r);
        text_->name = name;
        text_->types = types_;
    }

    // The same in a pipeline: its outcome comes with the others'.
    void sendPrepare()
    {
        const QByteArray name = newName();
        if (!PQsendPrepare(conn_, name.constData(), text_->sql.constData(), int(types_.size()),
                           types_.data()))
            failConnection(QStringLiteral("preparar \"%1\"").arg(shown()));
        text_->name = name;
        text_->types = types_;
        sentInPipeline(conn_, shown(), text_, true);
    }

    // Sends the statement with its values; whether it went as the prepared one.
    bool send()
    {
        std::vector<const char*> pointers(values_.size());
        for (size_t k = 0; k < values_.size(); ++k)
            pointers[k] = values_[k].isNull() ? nullptr : values_[k].constData();
        const bool prepared = text_ && !text_->name.isEmpty() && types_ == text_->types;
        const bool sent =
            prepared ? PQsendQueryPrepared(conn_, text_->name.constData(), int(values_.size()),
                                           pointers.data(), nullptr, nullptr, 0)
                     : PQsendQueryParams(conn_, sql().constData(), int(values_.size()),
                                         types_.data(), pointers.data(), nullptr, nullptr, 0);
        if (!sent)
            failConnection(QStringLiteral("executar \"%1\"").arg(shown()));
        return prepared;
    }

    // This statement went out after deferred ones: the pipeline ends with it,
    // and the first failure before it is its failure (it never ran then).
    void endPipeline(bool prepared)
    {
        sentInPipeline(conn_, shown(), text_, false);
        PGresult* r = nullptr;
        const PipelineFailure failure = finishPipeline(conn_, &r);
        if (failure.failed) {
            PQclear(r);
            failStatement(failure.what, failure.detail, failure.transient);
        }
        if (!r)
            failConnection(QStringLiteral("executar \"%1\"").arg(shown()));
        switch (PQresultStatus(r)) {
        case PGRES_TUPLES_OK:
            current_ = r;
            row_ = -1;
            return;
        case PGRES_COMMAND_OK:
            countAffected(r);
            return;
        default:
            if (prepared && preparedIsGone(r)) {
                PQclear(r);
                failPreparedGone();
            }
            failResult(QStringLiteral("executar \"%1\"").arg(shown()), r);
        }
    }

    void countAffected(PGresult* r)
    {
        const char* count = PQcmdTuples(r);
        std::from_chars(count, count + std::strlen(count), affected_);
        PQclear(r);
    }

    [[noreturn]] void failPreparedGone()
    {
        failStatement(QStringLiteral("executar \"%1\"").arg(shown()),
                      QStringLiteral("a instrução preparada deixou de valer no servidor"), true);
    }

    bool preparedIsGone(const PGresult* r) { return preparedStatementGone(conn_, text_, r); }

    const QByteArray& sql() const { return text_ ? text_->sql : sql_; }
    QString shown() const { return firstWords(source_); }

    // Another statement needs the connection: the rest of the rows wait in
    // memory, and a failure among them waits for next() to reach it.
    void holdRest()
    {
        stopStreaming();
        while (PGresult* r = PQgetResult(conn_)) {
            switch (PQresultStatus(r)) {
            case PGRES_SINGLE_TUPLE:
                held_.push_back(r);
                break;
            case PGRES_TUPLES_OK:
                PQclear(r);
                break;
            default:
                heldError_ = resultErrorText(r);
                heldTransient_ = isTransientResult(r);
                PQclear(r);
            }
        }
    }

    static void settle(PGconn* conn)
    {
        for (const auto& [c, statement] : streaming)
            if (c == conn) {
                statement->holdRest();
                return;
            }
    }

private:
    bool isStreaming() const
    {
        for (const auto& [c, statement] : streaming)
            if (statement == this)
                return true;
        return false;
    }

    void stopStreaming()
    {
        std::erase_if(streaming, [this](const auto& entry) { return entry.second == this; });
    }

    // The rows this statement has not read, thrown away.
    void discardRows()
    {
        clearCurrent();
        if (isStreaming()) {
            stopStreaming();
            drainConnection(conn_);
        }
    }

    void clearCurrent()
    {
        if (current_)
            PQclear(current_);
        current_ = nullptr;
        row_ = -1;
    }

    void clearHeld()
    {
        for (PGresult* r : held_)
            PQclear(r);
        held_.clear();
        heldError_.clear();
    }

    static void drainConnection(PGconn* conn)
    {
        while (PGresult* r = PQgetResult(conn))
            PQclear(r);
    }

    [[noreturn]] void failResult(const QString& what, PGresult* r)
    {
        const QString text = r ? resultErrorText(r) : QString::fromUtf8(PQerrorMessage(conn_));
        const bool transient = r && isTransientResult(r);
        PQclear(r);
        drainConnection(conn_);
        failStatement(what, text, transient);
    }

    [[noreturn]] void failConnection(const QString& what)
    {
        failStatement(what, QString::fromUtf8(PQerrorMessage(conn_)), false);
    }

    PGconn* conn_;
    QString source_;
    PreparedText* text_; // nullptr when the connection keeps no more texts
    QByteArray sql_;     // the text to run when it keeps no more
    std::vector<QByteArray> values_;
    std::vector<Oid> types_;
    bool executed_ = false;
    PGresult* current_ = nullptr;
    int row_ = -1;
    int affected_ = 0;
    std::deque<PGresult*> held_;
    QString heldError_;
    bool heldTransient_ = false;
};

} // namespace

std::unique_ptr<Statement> postgresStatement(const QSqlDatabase& db, const QString& sql)
{
    PGconn* conn = postgresHandle(db);
    if (!conn)
        return nullptr;
    return std::make_unique<PostgresStatement>(db, conn, sql);
}

void abandonDeferred(const QSqlDatabase& db)
{
    // Whatever they did is rolled back next: their outcomes no longer matter.
    if (PGconn* conn = postgresHandle(db); conn && pipelining(conn))
        finishPipeline(conn, nullptr);
}

} // namespace krt::app::detail
