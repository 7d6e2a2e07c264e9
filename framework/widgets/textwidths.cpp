#include "framework/widgets/textwidths.h"

#include <cmath>

TextWidths::TextWidths(const QFont& font) : metrics_(font)
{
    advances_.fill(-1);
}

int TextWidths::of(QStringView text)
{
    qreal sum = 0;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        // Control characters (a tab's width depends on where it falls) and
        // every script past Latin are shaped.
        if (u < 0x20 || u >= kSummed)
            return int(std::ceil(metrics_.horizontalAdvance(text.toString())));
        qreal& advance = advances_[u];
        if (advance < 0)
            advance = metrics_.horizontalAdvance(ch);
        sum += advance;
    }
    return int(std::ceil(sum));
}
