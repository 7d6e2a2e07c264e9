#pragma once

#include <QString>

namespace krt {

// Shows a stored text through an edit mask such as "99.99.999;0;_": the
// first part is the picture, the second says whether the literals are stored
// with the value ("1") or not ("0"), the third is the blank shown for missing
// characters. Picture characters: 0 9 # L l A a C c take a character of the
// value; > and < switch to upper and lower case, <> back to as-is; \ makes the
// next character a literal; _ shows a blank; anything else is a literal.
// Stored literals (any second part but "0", or none) leave the text as it is.
QString formatMaskText(const QString& editMask, const QString& value);

} // namespace krt
