#include "appserver/db/sql.h"

#include "appserver/db/dialect.h"
#include "appserver/db/errors.h"

#include <QSqlDriver>
#include <QSqlError>
#include <sqlite3.h>

namespace krt::app {

namespace {

bool isTransient(const QSqlError& error)
{
    const QString code = error.nativeErrorCode();
    // SQLite: SQLITE_BUSY / SQLITE_LOCKED. PostgreSQL: deadlock detected,
    // serialization failure.
    return code == QLatin1String("5") || code == QLatin1String("6") ||
           code == QLatin1String("40P01") || code == QLatin1String("40001");
}

[[noreturn]] void fail(const QString& what, const QSqlError& error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    throw DbError(QStringLiteral("Erro no banco de dados ao %1: %2").arg(what, text),
                  isTransient(error));
}

QString firstWords(const QString& sql)
{
    return sql.simplified().left(60);
}

} // namespace

struct Query::Native
{
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    bool pendingRow = false; // exec() stepped onto the first row
    bool fresh = true;       // nothing bound since the last reset
};

namespace {

[[noreturn]] void failNative(sqlite3* db, const QString& what, int code)
{
    const int primary = code & 0xff;
    throw DbError(QStringLiteral("Erro no banco de dados ao %1: %2")
                      .arg(what, QString::fromUtf8(sqlite3_errmsg(db))),
                  primary == SQLITE_BUSY || primary == SQLITE_LOCKED);
}

sqlite3* sqliteHandle(const QSqlDatabase& db)
{
    if (db.driverName() != QLatin1String("QSQLITE"))
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.data());
}

} // namespace

Query::Query(const QSqlDatabase& db, const QString& sql) : sql_(sql)
{
    if (sqlite3* handle = sqliteHandle(db)) {
        native_ = std::make_unique<Native>();
        native_->db = handle;
        const QByteArray text = sql.toUtf8();
        const int rc =
            sqlite3_prepare_v2(handle, text.constData(), int(text.size()), &native_->st, nullptr);
        if (rc != SQLITE_OK)
            failNative(handle, QStringLiteral("preparar \"%1\"").arg(firstWords(sql)), rc);
        return;
    }
    q_ = std::make_unique<QSqlQuery>(db);
    q_->setForwardOnly(true);
    if (!q_->prepare(sql))
        fail(QStringLiteral("preparar \"%1\"").arg(firstWords(sql)), q_->lastError());
}

Query::~Query()
{
    if (native_ && native_->st)
        sqlite3_finalize(native_->st);
}

Query::Query(Query&& other) noexcept
    : native_(std::move(other.native_)), q_(std::move(other.q_)), sql_(std::move(other.sql_)),
      next_(other.next_)
{
}

Query& Query::bind(const QVariant& value)
{
    if (!native_) {
        q_->bindValue(next_++, value);
        return *this;
    }
    Native& n = *native_;
    if (n.fresh) {
        sqlite3_reset(n.st);
        n.pendingRow = false;
        n.fresh = false;
    }
    const int index = ++next_;
    int rc = SQLITE_OK;
    if (value.isNull()) {
        rc = sqlite3_bind_null(n.st, index);
    } else {
        switch (value.metaType().id()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            rc = sqlite3_bind_int64(n.st, index, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(n.st, index, value.toDouble());
            break;
        case QMetaType::QDateTime:
        case QMetaType::QDate: {
            const QByteArray t = value.metaType().id() == QMetaType::QDate
                                     ? value.toDate().toString(Qt::ISODate).toUtf8()
                                     : value.toDateTime().toString(Qt::ISODateWithMs).toUtf8();
            rc = sqlite3_bind_text(n.st, index, t.constData(), int(t.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray t = value.toString().toUtf8();
            rc = sqlite3_bind_text(n.st, index, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        }
        }
    }
    if (rc != SQLITE_OK)
        failNative(
            n.db,
            QStringLiteral("associar o parâmetro %1 de \"%2\"").arg(index).arg(firstWords(sql_)),
            rc);
    return *this;
}

Query& Query::bindText(const QString& value)
{
    return bind(value.isNull() ? QString(QLatin1String("")) : value);
}

Query& Query::bindDate(const QDate& value)
{
    return bind(value.isValid() ? QVariant(value.toString(Qt::ISODate)) : QVariant());
}

void Query::exec()
{
    next_ = 0;
    if (!native_) {
        if (!q_->exec())
            fail(QStringLiteral("executar \"%1\"").arg(firstWords(sql_)), q_->lastError());
        return;
    }
    Native& n = *native_;
    if (n.fresh)
        sqlite3_reset(n.st); // run again without new parameters
    n.fresh = true;
    const int rc = sqlite3_step(n.st);
    if (rc == SQLITE_ROW)
        n.pendingRow = true;
    else if (rc == SQLITE_DONE)
        n.pendingRow = false;
    else
        failNative(n.db, QStringLiteral("executar \"%1\"").arg(firstWords(sql_)), rc);
}

bool Query::next()
{
    if (!native_)
        return q_->next();
    Native& n = *native_;
    if (n.pendingRow) {
        n.pendingRow = false;
        return true;
    }
    const int rc = sqlite3_step(n.st);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        failNative(n.db, QStringLiteral("ler \"%1\"").arg(firstWords(sql_)), rc);
    // Done: let go of the read cursor at once.
    sqlite3_reset(n.st);
    return false;
}

QVariant Query::value(int col) const
{
    if (!native_)
        return q_->value(col);
    sqlite3_stmt* st = native_->st;
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(st, col)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(st, col));
    case SQLITE_NULL:
        return QVariant();
    default:
        return QVariant(text(col));
    }
}

bool Query::isNull(int col) const
{
    if (!native_)
        return q_->isNull(col);
    return sqlite3_column_type(native_->st, col) == SQLITE_NULL;
}

QString Query::text(int col) const
{
    if (!native_)
        return q_->value(col).toString();
    const std::string_view v = utf8(col);
    return QString::fromUtf8(v.data(), qsizetype(v.size()));
}

std::string_view Query::utf8(int col) const
{
    if (!native_) {
        if (size_t(col) >= utf8Buffers_.size())
            utf8Buffers_.resize(size_t(col) + 1);
        QByteArray& buffer = utf8Buffers_[size_t(col)];
        buffer = q_->value(col).toString().toUtf8();
        return std::string_view(buffer.constData(), size_t(buffer.size()));
    }
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(native_->st, col));
    if (!p)
        return {};
    return std::string_view(p, size_t(sqlite3_column_bytes(native_->st, col)));
}

double Query::number(int col) const
{
    if (!native_)
        return q_->value(col).toDouble();
    return sqlite3_column_double(native_->st, col);
}

qint64 Query::integer(int col) const
{
    if (!native_)
        return q_->value(col).toLongLong();
    return sqlite3_column_int64(native_->st, col);
}

QDate Query::date(int col) const
{
    if (native_) {
        const std::string_view v = utf8(col);
        if (v.size() < 10)
            return {};
        auto digits = [&](size_t from, size_t count) {
            int n = 0;
            for (size_t i = from; i < from + count; ++i) {
                if (v[i] < '0' || v[i] > '9')
                    return -1;
                n = n * 10 + (v[i] - '0');
            }
            return n;
        };
        return QDate(digits(0, 4), digits(5, 2), digits(8, 2));
    }
    const QVariant v = q_->value(col);
    if (v.isNull())
        return {};
    if (v.metaType().id() == QMetaType::QDate)
        return v.toDate();
    if (v.metaType().id() == QMetaType::QDateTime)
        return v.toDateTime().date();
    return QDate::fromString(v.toString().left(10), Qt::ISODate);
}

int Query::rowsAffected() const
{
    if (!native_)
        return q_->numRowsAffected();
    return sqlite3_changes(native_->db);
}

QString placeholders(qsizetype count)
{
    QString s;
    s.reserve(count * 3);
    for (qsizetype i = 0; i < count; ++i)
        s += i == 0 ? QStringLiteral("?") : QStringLiteral(", ?");
    return s;
}

void execStatement(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        fail(QStringLiteral("executar \"%1\"").arg(firstWords(sql)), q.lastError());
}

Transaction::Transaction(const QSqlDatabase& db, DbKind kind, Mode mode) : db_(db)
{
    execStatement(db_, Dialect::of(kind).begin(mode == Mode::Write));
    active_ = true;
}

Transaction::~Transaction()
{
    if (active_) {
        QSqlQuery q(db_);
        q.exec(QStringLiteral("ROLLBACK"));
    }
}

void Transaction::commit()
{
    execStatement(db_, QStringLiteral("COMMIT"));
    active_ = false;
}

void Transaction::rollback()
{
    if (!active_)
        return;
    active_ = false;
    execStatement(db_, QStringLiteral("ROLLBACK"));
}

} // namespace krt::app
