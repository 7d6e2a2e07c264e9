#include "appserver/methods/request.h"

#include "framework/wire/errors.h"

#include <utility>

namespace krt::app {

void MethodCall::fail(const QString& text) const
{
    throw Error(ErrorCode::InvalidArgument, text, name());
}

void MethodCall::refuse(const QString& text) const
{
    throw Error(ErrorCode::Refused, text, name());
}

const api::DataSet& MethodCall::resultSet(int index) const
{
    Q_ASSERT(index >= 0 && index < method_.result.count);
    return *method_.result.sets[size_t(index)];
}

const StreamSink* MethodCall::takeStream() const
{
    if (!method_.streams || !sink_ || !sink_->rows)
        return nullptr;
    return std::exchange(sink_, nullptr);
}

QString decodeText(const Variant& v, const ArgAt& at)
{
    if (v.isEmpty())
        return QString(QLatin1String(""));
    QString value = v.asString();
    // No argument is near this long (a list of the most keys takes a fraction
    // of it): refused before a statement or a copy is made of it.
    if (value.size() > kMaxTextArgChars)
        at.fail(QStringLiteral("o argumento %1 (%2) tem mais de %3 caracteres.")
                    .arg(at.position)
                    .arg(at.description())
                    .arg(kMaxTextArgChars));
    // No database column holds a NUL character, and PostgreSQL refuses the
    // whole statement over one: say so here, the same on every database.
    if (value.contains(QChar(0)))
        at.fail(QStringLiteral("o argumento %1 (%2) contém um caractere nulo.")
                    .arg(at.position)
                    .arg(at.description()));
    return value;
}

QDate decodeDay(const Variant& v, const ArgAt& at)
{
    if (v.isEmpty())
        at.fail(QStringLiteral("a %1 (argumento %2) não foi informada.")
                    .arg(at.description())
                    .arg(at.position));
    // The time of day, if any, is dropped.
    const QDate d = v.asDateTime().date();
    if (!d.isValid())
        at.fail(QStringLiteral("a %1 (argumento %2) não é uma data válida.")
                    .arg(at.description())
                    .arg(at.position));
    return d;
}

} // namespace krt::app
