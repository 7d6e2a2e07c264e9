#pragma once

// The remote object's methods as both sides see them: names, argument kinds in
// order and the shape of the result. The application server checks every call
// it receives against this table; a client can check its calls and the results
// it gets back with checkArguments and checkResult.

#include "framework/wire/variant.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace krt::api {

inline constexpr char kRemoteObjectName[] = "Krt52600.rdmCancelaConsoli";
inline const QString remoteObjectName()
{
    return QString::fromLatin1(kRemoteObjectName);
}

enum class ArgKind
{
    Text,
    Date,
    Boolean,
    Packet
};

enum class ResultShape
{
    Packet,      // one data packet
    PacketArray, // an array of `resultCount` data packets
    Boolean,
    None, // nothing the caller reads
};

// A call or a result that does not fit its method's signature. text() is
// "method: detail"; detail() the same without the method.
class SignatureError : public WireError
{
public:
    SignatureError(const QString& method, const QString& detail)
        : WireError(method + QStringLiteral(": ") + detail), detail_(detail)
    {
    }
    const QString& detail() const noexcept { return detail_; }

private:
    QString detail_;
};

struct ArgSignature
{
    ArgKind kind;
    // What the argument is, as errors name it ("data inicial").
    const char* description;
};

struct MethodSignature
{
    const char* name;
    QList<ArgSignature> args;
    ResultShape result;
    // Number of packets in a PacketArray result (0 otherwise).
    int resultCount = 0;
    // The client data sets the result fills, in result order.
    QStringList targets;
};

// All twelve methods of the remote object, in a fixed order.
const QList<MethodSignature>& methods();

// The method named `name` (exact case) in `table`, or nullptr. A method that
// is not in the table does not exist: the server refuses it.
const MethodSignature* findMethod(const QString& name,
                                  const QList<MethodSignature>& table = methods());

QString argKindName(ArgKind kind);

// Throws WireError naming the method when it takes another number of
// arguments (checked before any argument is decoded).
void checkArgumentCount(const MethodSignature& method, qsizetype count);

// Throws WireError naming the method and the argument position (1-based) when
// the count or a kind is wrong. A null or unassigned value passes for a text
// (the empty text) and for a date (no date).
void checkArguments(const MethodSignature& method, const QList<Variant>& args);

// Throws WireError naming the method when `result` has not the method's
// result shape.
void checkResult(const MethodSignature& method, const Variant& result);

} // namespace krt::api
