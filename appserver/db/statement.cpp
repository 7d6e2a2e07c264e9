#include "appserver/db/statement.h"

#include "framework/wire/errors.h"

namespace krt::app::detail {

QString Statement::text(int col) const
{
    if (isNull(col))
        return {};
    const std::string_view v = utf8(col);
    return QString::fromUtf8(v.data(), qsizetype(v.size()));
}

QDate Statement::date(int col) const
{
    return isoDay(utf8(col));
}

void Statement::capture(int, CapturedValue&, std::string&) const
{
    Q_ASSERT_X(false, "Statement::capture", "a statement that does not capture its rows");
}

QDate isoDay(std::string_view text)
{
    if (text.size() < 10 || text[4] != '-' || text[7] != '-')
        return {};
    auto digits = [&](size_t from, size_t count) {
        int n = 0;
        for (size_t i = from; i < from + count; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return -1;
            n = n * 10 + (text[i] - '0');
        }
        return n;
    };
    return QDate(digits(0, 4), digits(5, 2), digits(8, 2));
}

QString firstWords(const QString& sql)
{
    return sql.simplified().left(60);
}

void failStatement(const QString& what, const QString& detail, bool transient)
{
    throw Error(ErrorCode::DatabaseFailure,
                QStringLiteral("Erro no banco de dados ao %1: %2").arg(what, detail.trimmed()))
        .setTransient(transient);
}

} // namespace krt::app::detail
