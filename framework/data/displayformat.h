#pragma once

#include <QDateTime>
#include <QString>

// Text forms of field values as Brazilian users read them: "." groups
// thousands, "," separates decimals, dates are day/month/year.
namespace krt {

// Formats `value` with a numeric picture such as "#,##0.00" or "#0.000":
// "0" is a required digit, "#" an optional one, "," anywhere in the integer
// part turns on thousands grouping, "." marks the decimals. Up to three
// sections separated by ";" give the positive, negative and zero forms; text
// in quotes and other characters around the digits are copied as they are.
// Rounding is half away from zero on the value's 15 significant digits, so
// 2.675 with two decimals gives "2,68" as a person would expect.
QString formatFloat(double value, const QString& picture);

// Shortest form with up to 15 significant digits and a decimal comma
// ("1234,5"), used where no picture is set.
QString formatFloatGeneral(double value);

// Reads a number typed the Brazilian way ("1.234,56") or with a decimal
// point ("1234.56"); sets *ok.
double parseLocalFloat(const QString& text, bool* ok);

// "dd/mm/yyyy", with " hh:mm:ss" only when the time of day is not midnight.
QString formatDateTimeDefault(const QDateTime& value);

// Formats with a picture in the classic day/month notation: d dd ddd dddd,
// m mm mmm mmmm (months), yy yyyy, h hh, n nn (minutes; "m" right after an
// hour also means minutes), s ss, z zzz, quoted literals. Names in Portuguese.
QString formatDateTime(const QDateTime& value, const QString& picture);

// Reads "dd/mm/yyyy", "dd/mm/yyyy hh:mm[:ss]" or an ISO date-time; an
// unreadable text gives an invalid QDateTime.
QDateTime parseLocalDateTime(const QString& text);

} // namespace krt
