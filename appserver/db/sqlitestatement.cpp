// Statements on the connection's own sqlite3 handle: Qt's generic path turns
// every value into a QVariant and every text into UTF-16 and back, which
// costs several times the query itself on long lists.
#include "appserver/db/dialects.h"
#include "appserver/db/statement.h"

#include <sqlite3.h>

namespace krt::app::detail {

namespace {

class SqliteStatement final : public Statement
{
public:
    SqliteStatement(sqlite3* db, const QString& sql) : db_(db), sql_(sql)
    {
        const QByteArray text = sql.toUtf8();
        const int rc = sqlite3_prepare_v2(db, text.constData(), int(text.size()), &st_, nullptr);
        if (rc != SQLITE_OK)
            fail(QStringLiteral("preparar \"%1\"").arg(firstWords(sql)), rc);
    }
    ~SqliteStatement() override { sqlite3_finalize(st_); }
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    void bind(const QVariant& value) override
    {
        if (fresh_) {
            sqlite3_reset(st_);
            pendingRow_ = false;
            fresh_ = false;
            next_ = 0;
        }
        const int index = ++next_;
        const int rc = bindAt(index, value);
        if (rc != SQLITE_OK)
            fail(QStringLiteral("associar o parâmetro %1 de \"%2\"")
                     .arg(index)
                     .arg(firstWords(sql_)),
                 rc);
    }

    void exec() override
    {
        if (fresh_)
            sqlite3_reset(st_); // run again without new parameters
        fresh_ = true;
        const int rc = sqlite3_step(st_);
        if (rc == SQLITE_ROW)
            pendingRow_ = true;
        else if (rc == SQLITE_DONE)
            pendingRow_ = false;
        else
            fail(QStringLiteral("executar \"%1\"").arg(firstWords(sql_)), rc);
    }

    bool next() override
    {
        if (pendingRow_) {
            pendingRow_ = false;
            return true;
        }
        const int rc = sqlite3_step(st_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            fail(QStringLiteral("ler \"%1\"").arg(firstWords(sql_)), rc);
        // Done: let go of the read cursor at once.
        sqlite3_reset(st_);
        return false;
    }

    bool isNull(int col) const override { return sqlite3_column_type(st_, col) == SQLITE_NULL; }

    std::string_view utf8(int col) const override
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, col));
        if (!p)
            return {};
        return std::string_view(p, size_t(sqlite3_column_bytes(st_, col)));
    }

    std::optional<std::string_view> utf8OrNull(int col) const override
    {
        // Only a null value (or a failed allocation) has no text.
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, col));
        if (!p)
            return isNull(col) ? std::nullopt : std::optional<std::string_view>(std::string_view());
        return std::string_view(p, size_t(sqlite3_column_bytes(st_, col)));
    }

    QVariant value(int col) const override
    {
        switch (sqlite3_column_type(st_, col)) {
        case SQLITE_INTEGER:
            return QVariant(qint64(sqlite3_column_int64(st_, col)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(st_, col));
        case SQLITE_NULL:
            return QVariant();
        default:
            return QVariant(text(col));
        }
    }

    double number(int col) const override { return sqlite3_column_double(st_, col); }
    qint64 integer(int col) const override { return sqlite3_column_int64(st_, col); }
    int rowsAffected() const override { return sqlite3_changes(db_); }
    int columnCount() const override { return sqlite3_column_count(st_); }
    QString columnName(int col) const override
    {
        return QString::fromUtf8(sqlite3_column_name(st_, col));
    }

    bool capturesRows() const override { return true; }

    void capture(int col, CapturedValue& out, std::string& bytes) const override
    {
        switch (sqlite3_column_type(st_, col)) {
        case SQLITE_NULL:
            out.kind = CapturedValue::Kind::Null;
            return;
        case SQLITE_INTEGER:
            out.kind = CapturedValue::Kind::Integer;
            out.integer = sqlite3_column_int64(st_, col);
            out.number = sqlite3_column_double(st_, col);
            break;
        case SQLITE_FLOAT:
            out.kind = CapturedValue::Kind::Float;
            out.integer = sqlite3_column_int64(st_, col);
            out.number = sqlite3_column_double(st_, col);
            break;
        default:
            out.kind = CapturedValue::Kind::Text;
            break;
        }
        // A number's text too, as SQLite writes it.
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, col));
        const int n = p ? sqlite3_column_bytes(st_, col) : 0;
        out.at = quint32(bytes.size());
        out.size = quint32(n);
        bytes.append(p ? p : "", size_t(n));
    }

private:
    int bindAt(int index, const QVariant& value)
    {
        if (value.isNull())
            return sqlite3_bind_null(st_, index);
        switch (value.metaType().id()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            return sqlite3_bind_int64(st_, index, value.toLongLong());
        case QMetaType::Double:
        case QMetaType::Float:
            return sqlite3_bind_double(st_, index, value.toDouble());
        case QMetaType::QDate:
            return bindText(index, value.toDate().toString(Qt::ISODate));
        case QMetaType::QDateTime:
            return bindText(index, value.toDateTime().toString(Qt::ISODateWithMs));
        default:
            return bindText(index, value.toString());
        }
    }

    int bindText(int index, const QString& text)
    {
        const QByteArray t = text.toUtf8();
        return sqlite3_bind_text(st_, index, t.constData(), int(t.size()), SQLITE_TRANSIENT);
    }

    [[noreturn]] void fail(const QString& what, int code) const
    {
        const int primary = code & 0xff;
        failStatement(what, QString::fromUtf8(sqlite3_errmsg(db_)),
                      primary == SQLITE_BUSY || primary == SQLITE_LOCKED);
    }

    sqlite3* db_;
    sqlite3_stmt* st_ = nullptr;
    QString sql_;
    int next_ = 0;
    bool pendingRow_ = false; // exec() stepped onto the first row
    bool fresh_ = true;       // nothing bound since the last exec
};

} // namespace

std::unique_ptr<Statement> sqliteStatement(const QSqlDatabase& db, const QString& sql)
{
    sqlite3* handle = sqliteHandle(db);
    if (!handle)
        return nullptr;
    return std::make_unique<SqliteStatement>(handle, sql);
}

} // namespace krt::app::detail
