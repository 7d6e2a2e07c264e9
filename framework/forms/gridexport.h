#pragma once

#include <QString>

class TDBGrid;

namespace krt {

// Every row of the grid's data set in the grid's columns and titles, as CSV
// (';'-separated, fields quoted when they hold ';', '"' or a line break).
QString gridToCsv(const TDBGrid* grid);

// The same as an HTML table under a title, for the listing window.
QString gridToHtml(const TDBGrid* grid, const QString& title);

// Writes text to a file as UTF-8; throws EKrtError naming the file on failure.
void writeTextFile(const QString& path, const QString& text);
// A CSV file for spreadsheets: UTF-8 with a byte-order mark.
void writeCsvFile(const QString& path, const QString& text);

} // namespace krt
