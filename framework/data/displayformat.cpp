#include "framework/data/displayformat.h"

#include <QLocale>
#include <QStringList>
#include <cmath>

namespace krt {

namespace {

// One section of a numeric picture, reduced to what the output needs.
struct NumberPicture
{
    QString prefix;
    QString suffix;
    bool hasDigits = false;
    bool grouping = false;
    int minIntegerDigits = 0;
    int minDecimals = 0;
    int maxDecimals = 0;
};

QStringList splitSections(const QString& picture)
{
    QStringList sections;
    QString current;
    QChar quote;
    for (QChar c : picture) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u';') {
            sections << current;
            current.clear();
            continue;
        }
        current += c;
    }
    sections << current;
    return sections;
}

bool isDigitZoneChar(QChar c)
{
    return c == u'0' || c == u'#' || c == u',' || c == u'.';
}

NumberPicture parseSection(const QString& text)
{
    enum Zone
    {
        Before,
        Digits,
        After
    } zone = Before;
    NumberPicture p;
    bool inDecimals = false;
    int integerZeros = 0;
    int decimalPlaces = 0;
    int lastDecimalZero = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\'' || c == u'"') {
            const qsizetype end = text.indexOf(c, i + 1);
            const QString literal = text.mid(i + 1, end < 0 ? -1 : end - i - 1);
            if (zone == Before)
                p.prefix += literal;
            else {
                zone = After;
                p.suffix += literal;
            }
            i = end < 0 ? text.size() : end;
            continue;
        }
        if (zone != After && isDigitZoneChar(c)) {
            zone = Digits;
            if (c == u'.') {
                inDecimals = true;
            } else if (c == u',') {
                if (!inDecimals)
                    p.grouping = true;
            } else {
                p.hasDigits = true;
                if (inDecimals) {
                    ++decimalPlaces;
                    if (c == u'0')
                        lastDecimalZero = decimalPlaces;
                } else if (c == u'0') {
                    ++integerZeros;
                }
            }
            continue;
        }
        if (zone == Before)
            p.prefix += c;
        else {
            zone = After;
            p.suffix += c;
        }
    }
    p.minIntegerDigits = integerZeros;
    p.minDecimals = lastDecimalZero;
    p.maxDecimals = decimalPlaces;
    return p;
}

// |value| as decimal digits rounded half away from zero to `decimals` places,
// working from its 15 significant digits.
struct Digits
{
    QString integerPart; // no leading zeros; empty for zero
    QString decimalPart; // exactly `decimals` digits
    bool isZero() const
    {
        return integerPart.isEmpty() && decimalPart.count(u'0') == decimalPart.size();
    }
};

Digits roundedDigits(double value, int decimals)
{
    const QByteArray sci = QByteArray::number(std::fabs(value), 'e', 14); // d.dddddddddddddde+XX
    const qsizetype ePos = sci.indexOf('e');
    QByteArray all = sci.left(1) + sci.mid(2, ePos - 2);
    int integerLength = sci.mid(ePos + 1).toInt() + 1;
    if (value == 0.0) {
        all = "0";
        integerLength = 1;
    }
    if (integerLength <= 0) {
        all.prepend(QByteArray(-integerLength, '0'));
        integerLength = 0;
    }
    const int wanted = integerLength + decimals;
    if (all.size() < wanted)
        all.append(QByteArray(wanted - all.size(), '0'));
    if (all.size() > wanted) {
        const bool roundUp = all.at(wanted) >= '5';
        all.truncate(wanted);
        if (roundUp) {
            int i = wanted - 1;
            for (; i >= 0; --i) {
                if (all[i] == '9') {
                    all[i] = '0';
                } else {
                    all[i] = char(all[i] + 1);
                    break;
                }
            }
            if (i < 0) {
                all.prepend('1');
                ++integerLength;
            }
        }
    }
    Digits d;
    QString integerPart = QString::fromLatin1(all.left(integerLength));
    qsizetype firstNonZero = 0;
    while (firstNonZero < integerPart.size() && integerPart.at(firstNonZero) == u'0')
        ++firstNonZero;
    d.integerPart = integerPart.mid(firstNonZero);
    d.decimalPart = QString::fromLatin1(all.mid(integerLength));
    return d;
}

QString groupThousands(const QString& digits)
{
    QString out;
    const qsizetype n = digits.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += u'.';
        out += digits.at(i);
    }
    return out;
}

QString render(const NumberPicture& p, const Digits& d, bool negative)
{
    if (!p.hasDigits)
        return p.prefix + p.suffix;
    QString integerPart = d.integerPart;
    if (integerPart.size() < p.minIntegerDigits)
        integerPart.prepend(QString(p.minIntegerDigits - integerPart.size(), u'0'));
    if (p.grouping)
        integerPart = groupThousands(integerPart);
    QString decimals = d.decimalPart;
    while (decimals.size() > p.minDecimals && decimals.endsWith(u'0'))
        decimals.chop(1);
    QString out = negative ? QStringLiteral("-") : QString();
    out += p.prefix + integerPart;
    if (!decimals.isEmpty())
        out += u',' + decimals;
    return out + p.suffix;
}

} // namespace

QString formatFloat(double value, const QString& picture)
{
    if (picture.isEmpty())
        return formatFloatGeneral(value);
    if (!std::isfinite(value))
        return formatFloatGeneral(value);
    const QStringList sections = splitSections(picture);
    const NumberPicture first = parseSection(sections.at(0));
    const bool hasNegative = sections.size() > 1 && !sections.at(1).isEmpty();
    const bool hasZero = sections.size() > 2 && !sections.at(2).isEmpty();

    NumberPicture chosen = first;
    bool signFromPicture = false;
    if (value < 0 && hasNegative) {
        chosen = parseSection(sections.at(1));
        signFromPicture = true;
    }
    const Digits digits = roundedDigits(value, chosen.maxDecimals);
    if (digits.isZero() && hasZero)
        return render(parseSection(sections.at(2)), roundedDigits(0.0, 0), false);
    const bool minus = value < 0 && !signFromPicture && !digits.isZero();
    return render(chosen, digits, minus);
}

QString formatFloatGeneral(double value)
{
    QString text = QString::number(value, 'g', 15);
    text.replace(u'.', u',');
    return text;
}

double parseLocalFloat(const QString& text, bool* ok)
{
    QString t = text.trimmed();
    if (t.contains(u',')) {
        t.remove(u'.');
        t.replace(u',', u'.');
    }
    return t.toDouble(ok);
}

QString formatDateTimeDefault(const QDateTime& value)
{
    if (!value.isValid())
        return QString();
    const QString date = value.date().toString(QStringLiteral("dd/MM/yyyy"));
    if (value.time() == QTime(0, 0))
        return date;
    return date + u' ' + value.time().toString(QStringLiteral("HH:mm:ss"));
}

namespace {

// Translates the classic picture into Qt's notation, token by token.
QString toQtDateTimeFormat(const QString& picture)
{
    QString out;
    bool afterHour = false;
    for (qsizetype i = 0; i < picture.size();) {
        const QChar c = picture.at(i);
        const QChar lower = c.toLower();
        if (c == u'\'' || c == u'"') {
            const qsizetype end = picture.indexOf(c, i + 1);
            const QString literal = picture.mid(i + 1, end < 0 ? -1 : end - i - 1);
            out += u'\'' + QString(literal).replace(u'\'', QStringLiteral("''")) + u'\'';
            i = end < 0 ? picture.size() : end + 1;
            continue;
        }
        qsizetype run = 1;
        while (i + run < picture.size() && picture.at(i + run).toLower() == lower)
            ++run;
        switch (lower.unicode()) {
        case 'd':
            out += QString(qMin<qsizetype>(run, 4), u'd');
            afterHour = false;
            break;
        case 'm':
            if (afterHour && run <= 2)
                out += QString(run, u'm');
            else
                out += QString(qMin<qsizetype>(run, 4), u'M');
            afterHour = false;
            break;
        case 'n':
            out += QString(qMin<qsizetype>(run, 2), u'm');
            afterHour = false;
            break;
        case 'y':
            out += run <= 2 ? QStringLiteral("yy") : QStringLiteral("yyyy");
            afterHour = false;
            break;
        case 'h':
            out += QString(qMin<qsizetype>(run, 2), u'H');
            afterHour = true;
            break;
        case 's':
            out += QString(qMin<qsizetype>(run, 2), u's');
            afterHour = false;
            break;
        case 'z':
            out += run >= 3 ? QStringLiteral("zzz") : QStringLiteral("z");
            afterHour = false;
            break;
        default:
            // Separators keep "hh:mm" reading as hours and minutes.
            for (qsizetype k = 0; k < run; ++k) {
                if (c.isLetter())
                    out += u'\'' + QString(c) + u'\'';
                else
                    out += c;
            }
            break;
        }
        i += run;
    }
    return out;
}

} // namespace

QString formatDateTime(const QDateTime& value, const QString& picture)
{
    if (!value.isValid())
        return QString();
    if (picture.isEmpty())
        return formatDateTimeDefault(value);
    static const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    return brazil.toString(value, toQtDateTimeFormat(picture));
}

QDateTime parseLocalDateTime(const QString& text)
{
    const QString t = text.trimmed();
    static const char* const formats[] = {"dd/MM/yyyy HH:mm:ss", "dd/MM/yyyy HH:mm", "dd/MM/yyyy",
                                          "d/M/yyyy"};
    for (const char* f : formats) {
        const QDateTime dt = QDateTime::fromString(t, QString::fromLatin1(f));
        if (dt.isValid())
            return dt;
    }
    QDateTime iso = QDateTime::fromString(t, Qt::ISODateWithMs);
    if (!iso.isValid()) {
        const QDate d = QDate::fromString(t, Qt::ISODate);
        if (d.isValid())
            iso = d.startOfDay();
    }
    return iso;
}

} // namespace krt
