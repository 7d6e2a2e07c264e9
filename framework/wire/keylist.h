#pragma once

#include <QString>
#include <QStringList>

namespace krt {

// Most keys a list argument may carry: the server refuses a longer list, and
// the pick lists stop the user before confirming one.
inline constexpr int kMaxKeyListKeys = 10000;

// The text form of a list of keys, as the pick lists produce it and the
// application server reads it: every key in single quotes (a quote inside a
// key doubled), separated by commas, no blanks: 'a','b''c'. An empty list is
// the empty text.
QString formatKeyList(const QStringList& keys);

// Inverse of formatKeyList; throws WireError on malformed text (unterminated
// quote, anything but a comma between items, a trailing comma).
QStringList parseKeyList(const QString& text);

} // namespace krt
