#include "appserver/db/sql.h"

#include "appserver/db/dialect.h"
#include "appserver/db/readahead.h"
#include "appserver/db/statement.h"
#include "framework/wire/errors.h"

namespace krt::app {

namespace {

std::unique_ptr<detail::Statement> statementFor(const QSqlDatabase& db, const QString& sql)
{
    if (const Dialect* dialect = Dialect::find(db))
        if (auto st = dialect->nativeStatement(db, sql))
            return st;
    return detail::qtStatement(db, sql);
}

} // namespace

Query::Query(const QSqlDatabase& db, const QString& sql) : st_(statementFor(db, sql)) {}

Query::~Query() = default;

Query::Query(Query&& other) noexcept = default;

Query& Query::bind(const QVariant& value)
{
    st_->bind(value);
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
    st_->exec();
}

void Query::execDeferred()
{
    st_->execDeferred();
}

void Query::readAhead()
{
    // Ten thousand rows of a list cost the database's steps and the answer's
    // writing about alike: past the first few hundred, the two overlap.
    constexpr int kInlineRows = 512;
    if (st_->capturesRows())
        st_ = detail::readingAhead(std::move(st_), kInlineRows);
}

bool Query::next()
{
    return st_->next();
}

QVariant Query::value(int col) const
{
    return st_->value(col);
}

bool Query::isNull(int col) const
{
    return st_->isNull(col);
}

QString Query::text(int col) const
{
    return st_->text(col);
}

std::string_view Query::utf8(int col) const
{
    return st_->utf8(col);
}

std::optional<std::string_view> Query::utf8OrNull(int col) const
{
    return st_->utf8OrNull(col);
}

double Query::number(int col) const
{
    return st_->number(col);
}

qint64 Query::integer(int col) const
{
    return st_->integer(col);
}

QDate Query::date(int col) const
{
    return st_->date(col);
}

int Query::rowsAffected() const
{
    return st_->rowsAffected();
}

int Query::column(std::string_view name) const
{
    const QString wanted = QString::fromUtf8(name.data(), qsizetype(name.size()));
    for (int col = 0; col < st_->columnCount(); ++col)
        if (st_->columnName(col).compare(wanted, Qt::CaseInsensitive) == 0)
            return col;
    return -1;
}

QStringList Query::columnNames() const
{
    QStringList names;
    for (int col = 0; col < st_->columnCount(); ++col)
        names << st_->columnName(col);
    return names;
}

QString placeholders(qsizetype count)
{
    QString s;
    s.reserve(count * 3);
    for (qsizetype i = 0; i < count; ++i)
        s += i == 0 ? QStringLiteral("?") : QStringLiteral(", ?");
    return s;
}

// Through Query, so that one client drives each connection: a statement whose
// rows are still arriving is settled before COMMIT goes out.
void execStatement(const QSqlDatabase& db, const QString& sql)
{
    Query(db, sql).exec();
}

Transaction::Transaction(const QSqlDatabase& db, DbKind kind, Mode mode) : db_(db)
{
    execStatement(db_, Dialect::of(kind).begin(mode == Mode::Write));
    active_ = true;
}

Transaction::~Transaction()
{
    if (!active_)
        return;
    try {
        detail::abandonDeferred(db_);
        execStatement(db_, QStringLiteral("ROLLBACK"));
    } catch (const Error&) {
        // The connection is gone or the transaction already ended: nothing
        // of it was committed either way.
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
    detail::abandonDeferred(db_);
    execStatement(db_, QStringLiteral("ROLLBACK"));
}

} // namespace krt::app
