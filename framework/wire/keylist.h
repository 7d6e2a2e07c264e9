#pragma once

#include "framework/wire/errors.h"

#include <QString>
#include <QStringList>
#include <limits>

namespace krt {

// Most keys a list argument may carry: the server refuses a longer list, and
// the pick lists stop the user before confirming one.
inline constexpr int kMaxKeyListKeys = 10000;

// The text form of a list of keys, as the pick lists produce it and the
// application server reads it: every key in single quotes (a quote inside a
// key doubled), separated by commas, no blanks: 'a','b''c'. An empty list is
// the empty text.
QString formatKeyList(const QStringList& keys);

// Inverse of formatKeyList; throws Error (Malformed) on malformed text (unterminated
// quote, anything but a comma between items, a trailing comma).
QStringList parseKeyList(const QString& text);

// As parseKeyList, but throws Error with the code TooLarge as soon as a key
// past the first `maxKeys` starts, before the rest of the text is read: a list of millions
// of keys costs no more than `maxKeys` of them.
QStringList parseKeyList(const QString& text, qsizetype maxKeys);

} // namespace krt
