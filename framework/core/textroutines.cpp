#include "framework/core/textroutines.h"

bool EmptyString(const QString& text)
{
    return text.trimmed().isEmpty();
}

QString Ajusta(const QString& text, int width)
{
    const QString code = text.trimmed().toUpper();
    if (code.isEmpty() || code.size() >= width)
        return code;
    return QString(width - code.size(), QLatin1Char('0')) + code;
}
