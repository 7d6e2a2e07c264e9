#include "fakeappserver.h"

#include "api/packetfields.h"

#include <QDateTime>
#include <QMutexLocker>
#include <stdexcept>

FakeAppServer::FakeAppServer()
{
    server_ = std::make_unique<krt::HttpCallServer>(
        QStringLiteral("127.0.0.1"), 0, qint64(64) << 20,
        [this](const QString&, const QString& method, const QList<krt::Variant>& args,
               const krt::CallContext&) { return handle(method, args); });
    server_->setThreadCount(2);
    server_->start();
}

FakeAppServer::~FakeAppServer()
{
    server_->stop();
}

quint16 FakeAppServer::port() const
{
    return server_->port();
}

void FakeAppServer::answer(const QString& method, Answer answer)
{
    QMutexLocker lock(&mutex_);
    answers_.insert(method, std::move(answer));
}

void FakeAppServer::answer(const QString& method, const krt::Variant& value)
{
    answer(method, [value](const QList<krt::Variant>&) { return value; });
}

void FakeAppServer::fail(const QString& method, const QString& text)
{
    answer(method, [text](const QList<krt::Variant>&) -> krt::Variant {
        throw std::runtime_error(text.toStdString());
    });
}

krt::Variant FakeAppServer::handle(const QString& method, const QList<krt::Variant>& args)
{
    Answer answer;
    {
        QMutexLocker lock(&mutex_);
        calls_.append({method, args});
        answer = answers_.value(method);
    }
    if (!answer)
        throw std::runtime_error("método não programado no teste: " + method.toStdString());
    return answer(args);
}

QList<FakeAppServer::Call> FakeAppServer::calls() const
{
    QMutexLocker lock(&mutex_);
    return calls_;
}

QStringList FakeAppServer::methods() const
{
    QStringList names;
    for (const Call& c : calls())
        names << c.method;
    return names;
}

QList<FakeAppServer::Call> FakeAppServer::callsOf(const QString& method) const
{
    QList<Call> found;
    for (const Call& c : calls())
        if (c.method == method)
            found << c;
    return found;
}

void FakeAppServer::clearCalls()
{
    QMutexLocker lock(&mutex_);
    calls_.clear();
}

krt::Packet packetFor(const QString& dataSet, const QList<QVariantList>& rows)
{
    const QList<krt::FieldDef>& fields = krt::api::packetFields(dataSet);
    krt::PacketWriter writer(fields);
    for (const QVariantList& row : rows) {
        for (qsizetype c = 0; c < fields.size(); ++c) {
            const QVariant v = row.value(c);
            if (!v.isValid()) {
                writer.addNull();
                continue;
            }
            switch (fields[c].type) {
            case krt::FieldType::String:
                writer.addText(v.toString());
                break;
            case krt::FieldType::Float:
                writer.addNumber(v.toDouble());
                break;
            case krt::FieldType::DateTime:
                writer.addDateTime(v.typeId() == QMetaType::QDate
                                       ? QDateTime(v.toDate(), QTime(0, 0))
                                       : v.toDateTime());
                break;
            case krt::FieldType::Boolean:
                writer.addBoolean(v.toBool());
                break;
            case krt::FieldType::Integer:
                writer.addInteger(v.toLongLong());
                break;
            }
        }
    }
    return writer.finish();
}
