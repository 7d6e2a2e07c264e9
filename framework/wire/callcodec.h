#pragma once

#include "framework/wire/variant.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace krt {

// A decoded call: which method of which remote object, with which arguments.
struct Call
{
    QString object;
    QString method;
    QList<Variant> args;
};

// The encodings of calls and replies as they travel in HTTP bodies. Every
// decoder validates the whole input and throws WireError on anything malformed;
// none reads outside the bytes it is given.
QByteArray encodeCall(const QString& object, const QString& method, const QList<Variant>& args);
Call decodeCall(const QByteArray& bytes);

QByteArray encodeReply(const Variant& result);
// The same bytes as encodeReply, in pieces that share the packets' own buffers
// instead of copying them (for sending large answers).
QList<QByteArray> encodeReplyPieces(const Variant& result);
QByteArray encodeErrorReply(const QString& text);
// The result of a successful reply; an error reply throws RemoteError with the
// server's text.
Variant decodeReply(const QByteArray& bytes);

// A reply decoded without throwing the server's error.
struct Reply
{
    bool isError = false;
    QString errorText;
    Variant result;
};
Reply decodeReplyFull(const QByteArray& bytes);

// A variant on its own, as it is embedded in calls and replies.
QByteArray encodeVariant(const Variant& value);
Variant decodeVariant(const QByteArray& bytes);

} // namespace krt
