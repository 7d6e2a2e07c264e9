#pragma once

#include "framework/wire/errors.h"
#include "framework/wire/variant.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

namespace krt {

// A decoded call: which method of which remote object, with which arguments.
struct Call
{
    QString object;
    QString method;
    QList<Variant> args;
};

// The encodings of calls and replies as they travel in HTTP bodies. Every
// decoder validates the whole input and throws Error (Malformed) on anything malformed;
// none reads outside the bytes it is given.
QByteArray encodeCall(const QString& object, const QString& method, const QList<Variant>& args);
// Told the object, the method and the argument count of a call before any
// argument is decoded; it throws to refuse the call.
using CallHeadCheck =
    std::function<void(const QString& object, const QString& method, quint32 argumentCount)>;
// Decoding takes at most a small multiple of the body's size in memory,
// whatever the body claims (see docs/protocol.md).
Call decodeCall(const QByteArray& bytes, const CallHeadCheck& check = {});

QByteArray encodeReply(const Variant& result);
// The same bytes as encodeReply, in pieces that share the packets' own buffers
// instead of copying them (for sending large answers).
QList<QByteArray> encodeReplyPieces(const Variant& result);
// An error reply: its code, the method its text names (empty when the error
// concerns none) and the text for the user. Without code and method it takes
// the text-only form.
QByteArray encodeErrorReply(ErrorCode code, const QString& method, const QString& text);
QByteArray encodeErrorReply(const QString& text);
// The error reply of `error`: its code as the wire carries it (a code found
// locally becomes a bad request, for bytes that could not be read, or a
// server failure), its method, and its text (replyText).
QByteArray encodeErrorReply(const Error& error);
ErrorCode replyCode(const Error& error);
// The text a reply gives the user: a method's own failure as "Erro no método
// <method>: <text>", a refusal's text as it is.
QString replyText(const Error& error);
// The result of a successful reply; an error reply throws Error with the
// server's code, method and text.
Variant decodeReply(const QByteArray& bytes);

// A reply decoded without throwing the server's error.
struct Reply
{
    bool isError = false;
    ErrorCode errorCode = ErrorCode::Unspecified;
    QString errorMethod;
    QString errorText;
    Variant result;
};
Reply decodeReplyFull(const QByteArray& bytes);

// A variant on its own, as it is embedded in calls and replies.
QByteArray encodeVariant(const Variant& value);
Variant decodeVariant(const QByteArray& bytes);

} // namespace krt
