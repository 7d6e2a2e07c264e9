#pragma once

// The remote object's methods at run time: looked up by the name a call
// carries, its arguments and results checked against the declarations of
// api/methods.h, and the table docs/protocol.md shows.

#include "api/methods.h"
#include "framework/wire/variant.h"

#include <QList>
#include <QString>

namespace krt::api {

// Every method of AllMethods, in its order.
const QList<MethodDecl>& methods();

// The method named `name` (exact case), or nullptr. A method that is not
// declared does not exist: the server refuses it.
const MethodDecl* findMethod(const QString& name);

QString argKindName(ArgKind kind);

// Throws Error (BadRequest) naming the method when it takes another number
// of arguments (checked before any argument is decoded).
void checkArgumentCount(const MethodDecl& method, qsizetype count);

// Throws Error (InvalidArgument) naming the method and the argument's
// position (1-based) and description when a kind is wrong (BadRequest for
// the count). A null or
// unassigned value passes for a text (the empty text) and for a date (no
// date).
void checkArguments(const MethodDecl& method, const QList<Variant>& args);

// Throws Error (InvalidReply) naming the method when `result` has not the
// method's result shape.
void checkResult(const MethodDecl& method, const Variant& result);

// The methods as the Markdown table of docs/protocol.md §7 (one line each,
// header included, every line ending in a newline).
QString methodTableMarkdown();

} // namespace krt::api
