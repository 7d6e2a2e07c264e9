#pragma once

#include <QFontMetricsF>
#include <QStringView>
#include <array>

// The widths of many short texts in one font, as a column is fitted to its
// values: a text of Latin letters, digits and signs is the sum of its
// characters' advances, each character measured once, instead of shaping
// the whole text each time (a list's thousand names cost more to shape than
// to load). Kerning only brings such letters closer, so the sum is never
// narrower than the text drawn; any other text is shaped whole.
class TextWidths
{
public:
    explicit TextWidths(const QFont& font);
    // Pixels, rounded up.
    int of(QStringView text);

private:
    // Basic Latin to Latin Extended-B: no combining marks, no joining.
    static constexpr char16_t kSummed = 0x0250;
    QFontMetricsF metrics_;
    std::array<qreal, kSummed> advances_;
};
