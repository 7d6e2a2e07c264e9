// Statements through Qt Sql's generic interface, for a connection whose
// driver gives no native handle this library knows.
#include "appserver/db/dialect.h"
#include "appserver/db/statement.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <vector>

namespace krt::app::detail {

namespace {

class QtStatement final : public Statement
{
public:
    QtStatement(const QSqlDatabase& db, const QString& sql)
        : q_(db), sql_(sql), dialect_(Dialect::find(db))
    {
        q_.setForwardOnly(true);
        if (!q_.prepare(sql))
            fail(QStringLiteral("preparar \"%1\"").arg(firstWords(sql)));
    }

    void bind(const QVariant& value) override { q_.bindValue(next_++, value); }

    void exec() override
    {
        next_ = 0;
        if (!q_.exec())
            fail(QStringLiteral("executar \"%1\"").arg(firstWords(sql_)));
    }

    bool next() override { return q_.next(); }
    bool isNull(int col) const override { return q_.isNull(col); }

    std::string_view utf8(int col) const override
    {
        if (size_t(col) >= buffers_.size())
            buffers_.resize(size_t(col) + 1);
        QByteArray& buffer = buffers_[size_t(col)];
        buffer = q_.value(col).toString().toUtf8();
        return std::string_view(buffer.constData(), size_t(buffer.size()));
    }

    QVariant value(int col) const override { return q_.value(col); }
    QString text(int col) const override { return q_.value(col).toString(); }
    double number(int col) const override { return q_.value(col).toDouble(); }
    qint64 integer(int col) const override { return q_.value(col).toLongLong(); }

    QDate date(int col) const override
    {
        const QVariant v = q_.value(col);
        if (v.isNull())
            return {};
        if (v.metaType().id() == QMetaType::QDate)
            return v.toDate();
        if (v.metaType().id() == QMetaType::QDateTime)
            return v.toDateTime().date();
        return QDate::fromString(v.toString().left(10), Qt::ISODate);
    }

    int rowsAffected() const override { return q_.numRowsAffected(); }
    int columnCount() const override { return q_.record().count(); }
    QString columnName(int col) const override { return q_.record().fieldName(col); }

private:
    [[noreturn]] void fail(const QString& what) const
    {
        const QSqlError error = q_.lastError();
        QString text = error.databaseText().trimmed();
        if (text.isEmpty())
            text = error.text().trimmed();
        failStatement(what, text, dialect_ && dialect_->isTransient(error.nativeErrorCode()));
    }

    QSqlQuery q_;
    QString sql_;
    const Dialect* dialect_; // nullptr for a driver no dialect serves
    int next_ = 0;
    mutable std::vector<QByteArray> buffers_; // one per column, valid until the next row
};

} // namespace

std::unique_ptr<Statement> qtStatement(const QSqlDatabase& db, const QString& sql)
{
    return std::make_unique<QtStatement>(db, sql);
}

} // namespace krt::app::detail
