#pragma once

#include <QString>

// True when the text holds no value: empty or made of blanks only.
bool EmptyString(const QString& text);

// A code brought to `width` characters: blanks around it removed, upper case,
// leading zeros added ("1" -> "0001", "a1" -> "00A1"). A code already as long
// as the width or longer is returned as typed (upper case); a blank text stays empty.
QString Ajusta(const QString& text, int width);
