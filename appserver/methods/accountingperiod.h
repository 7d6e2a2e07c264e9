#pragma once

#include <QDate>
#include <QSqlDatabase>
#include <QString>

namespace krt::app {

// The open accounting period of a branch: its own row, else its company's.
// `configured` is false when neither exists (nothing is closed then).
struct OpenPeriod
{
    bool configured = false;
    QDate from;
    QDate to;

    bool contains(const QDate& day) const { return !configured || (day >= from && day <= to); }
};

// `lockClause` (e.g. " FOR SHARE OF P") is appended to the query: a writer
// that relies on the period keeps it from being closed until it commits.
OpenPeriod openPeriodOf(const QSqlDatabase& db, const QString& branch,
                        const QString& lockClause = {});

// True when no invoice and no stock posting of the branch dated within
// [from, to] lies outside the branch's open accounting period.
bool periodAllowsPostings(const QSqlDatabase& db, const QString& branch, const QDate& from,
                          const QDate& to);

// The text shown when an operation is refused because of the period.
QString periodBlockedText();

} // namespace krt::app
