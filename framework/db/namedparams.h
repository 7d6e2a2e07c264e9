#pragma once

#include <QString>
#include <QStringList>

namespace krt {

// A statement with its ":NAME" parameters turned into "?" markers, and the
// names in the order of the markers (a name used twice appears twice).
struct PositionalStatement
{
    QString text;
    QStringList parameterNames;
};

// Finds ":NAME" parameters outside quoted text, quoted identifiers and
// comments; "::" (a PostgreSQL cast) is left alone. Binding by position keeps
// every driver on the same path, whatever its own placeholder support.
PositionalStatement toPositional(const QString& statement);

} // namespace krt
