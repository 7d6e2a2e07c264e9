#pragma once

#include <QString>

namespace krt {

// Translates a classic edit mask ("<mask>;<save literals>;<blank>", e.g.
// ">aaaa;0; " or "!99/99/0000;1;_") into a QLineEdit input mask. Character
// classes: a/A letter or digit (optional/required), l/L letter, 9/0 digit,
// c/C any character, # digit or sign, > upper case, < lower case, <> no case,
// \ the next character literally, ! ignored. Everything else is a literal.
struct TranslatedMask
{
    QString inputMask; // empty: no mask
    bool saveLiterals = true;
    QChar blank = QLatin1Char(' ');
};

TranslatedMask translateEditMask(const QString& classicMask);

} // namespace krt
