#include "framework/widgets/editmask.h"

#include <QStringList>

namespace krt {

namespace {

// Characters that mean something in a Qt input mask and so must be escaped
// when the classic mask uses them as literals.
bool isQtMaskMeta(QChar c)
{
    static const QString meta = QStringLiteral("AaNnXx90DdHhBb#><!\\[]{};");
    return meta.contains(c);
}

} // namespace

TranslatedMask translateEditMask(const QString& classicMask)
{
    TranslatedMask out;
    if (classicMask.isEmpty())
        return out;

    // The mask itself may contain escaped ';' ("\;"), so split by hand from the right.
    QString body = classicMask;
    QStringList tail;
    for (int part = 0; part < 2; ++part) {
        const qsizetype semi = body.lastIndexOf(QLatin1Char(';'));
        if (semi < 0 || (semi > 0 && body.at(semi - 1) == QLatin1Char('\\')))
            break;
        tail.prepend(body.mid(semi + 1));
        body.truncate(semi);
    }
    if (tail.size() == 2) {
        out.saveLiterals = tail.at(0) != QLatin1String("0");
        if (!tail.at(1).isEmpty())
            out.blank = tail.at(1).at(0);
    } else if (tail.size() == 1) {
        // Only one field after the mask: it is the save-literals flag when it
        // is a digit, otherwise the mask had a ';' of its own.
        if (tail.at(0).size() == 1 && tail.at(0).at(0).isDigit())
            out.saveLiterals = tail.at(0) != QLatin1String("0");
        else
            body += QLatin1Char(';') + tail.at(0);
    }

    QString qt;
    for (qsizetype i = 0; i < body.size(); ++i) {
        const QChar c = body.at(i);
        switch (c.unicode()) {
        case 'a':
            qt += QLatin1Char('n');
            break;
        case 'A':
            qt += QLatin1Char('N');
            break;
        case 'l':
            qt += QLatin1Char('a');
            break;
        case 'L':
            qt += QLatin1Char('A');
            break;
        case '9':
            qt += QLatin1Char('0');
            break;
        case '0':
            qt += QLatin1Char('9');
            break;
        case 'c':
            qt += QLatin1Char('x');
            break;
        case 'C':
            qt += QLatin1Char('X');
            break;
        case '#':
            qt += QLatin1Char('#');
            break;
        case '>':
            qt += QLatin1Char('>');
            break;
        case '<':
            if (i + 1 < body.size() && body.at(i + 1) == QLatin1Char('>')) {
                qt += QLatin1Char('!');
                ++i;
            } else {
                qt += QLatin1Char('<');
            }
            break;
        case '!':
            break;
        case '\\':
            if (i + 1 < body.size()) {
                ++i;
                if (isQtMaskMeta(body.at(i)))
                    qt += QLatin1Char('\\');
                qt += body.at(i);
            }
            break;
        default:
            if (isQtMaskMeta(c))
                qt += QLatin1Char('\\');
            qt += c;
        }
    }
    if (!qt.isEmpty())
        out.inputMask = qt + QLatin1Char(';') + out.blank;
    return out;
}

} // namespace krt
