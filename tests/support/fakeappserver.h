#pragma once

#include "appserver/http/httpcallserver.h"
#include "framework/wire/packet.h"
#include "framework/wire/variant.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <memory>

// A stand-in for the application server in screen tests: a real HTTP call
// server on a free loopback port whose methods answer what the test scripted,
// and which records every call it receives (method and arguments, in order).
// A method the test did not script answers an error reply.
class FakeAppServer
{
public:
    struct Call
    {
        QString method;
        QList<krt::Variant> args;
    };
    using Answer = std::function<krt::Variant(const QList<krt::Variant>& args)>;

    FakeAppServer();
    ~FakeAppServer();

    quint16 port() const;

    // Every call of `method` answers what `answer` returns (or throws: an error reply).
    void answer(const QString& method, Answer answer);
    void answer(const QString& method, const krt::Variant& value);
    // Every call of `method` fails with `text` as the server's error.
    void fail(const QString& method, const QString& text);

    QList<Call> calls() const;
    // The methods called, in order.
    QStringList methods() const;
    // The calls of one method, in order.
    QList<Call> callsOf(const QString& method) const;
    void clearCalls();

private:
    krt::Variant handle(const QString& method, const QList<krt::Variant>& args);

    mutable QMutex mutex_;
    QHash<QString, Answer> answers_;
    QList<Call> calls_;
    std::unique_ptr<krt::HttpCallServer> server_;
};

// A packet shaped for the client data set `dataSet` (the shared field lists),
// one QVariantList per row in field order: QString for texts, double for
// numbers, QDateTime or QDate for dates, bool; an invalid QVariant is null.
krt::Packet packetFor(const QString& dataSet, const QList<QVariantList>& rows = {});
