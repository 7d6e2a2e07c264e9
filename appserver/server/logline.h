#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace krt::app {

// One line of the server's log, built from typed fields: each field is
// escaped by escapeLogField and the fields are joined by single blanks, so no
// field can hold a blank, a quote, a line break or anything else that would
// let its text pass for another field or another line. Nothing here fills
// placeholders: a '%' in a field is a character like any other.
class LogLine
{
public:
    // A text field; "-" stands for the empty text.
    LogLine& text(const QString& value);
    // A text field given as bytes (UTF-8 or not).
    LogLine& bytes(QByteArrayView value);
    // A field made of a prefix the server chose and a text, e.g. "#" and the
    // request number; only the text is escaped.
    LogLine& tagged(const char* prefix, const QString& value);
    LogLine& number(const char* prefix, qint64 value);
    // Milliseconds with one decimal.
    LogLine& decimal(const char* prefix, double value);
    // The last field of a line: a text between double quotes (escaped the
    // same way, so it holds no blank and no quote of its own).
    LogLine& quoted(const QString& value);

    const QByteArray& line() const { return line_; }

private:
    void separate();
    QByteArray line_;
};

// The one escaping of every field, on its UTF-8 bytes: a backslash becomes
// "\\"; a blank, '%', '"', the C0 controls and DEL, every byte of a
// character that changes how text is shown (C1 controls, bidirectional
// marks, embeddings, overrides and isolates, zero-width characters, line and
// paragraph separators, the byte-order mark) and every byte that is not part
// of well-formed UTF-8 become "\xNN" (NN its value in lowercase hex). A field
// that is exactly "-" is written "\x2d" ("-" alone means empty). Replacing
// each "\xNN" with its byte and "\\" with a backslash gives the field back.
QByteArray escapeLogField(QByteArrayView utf8);

} // namespace krt::app
