#pragma once

// Statements of a PostgreSQL transaction sent without waiting for their
// outcome (libpq's pipeline mode): a cancellation's changes, its audit row and
// its COMMIT reach the server together and cost one round trip instead of
// one each, so the branch's lock is held for that much less. The outcomes are
// read when the connection next needs an answer; the first failure among them
// is then the statement's failure. Private to appserver/db.

#include <QString>
#include <libpq-fe.h>

namespace krt::app::detail {

struct PreparedText;

// What a failed result says, and whether running the transaction again may
// succeed (a deadlock, a serialization failure).
QString resultErrorText(const PGresult* r);
bool isTransientResult(const PGresult* r);

// Whether statements of `conn` are on their way without their outcome read.
bool pipelining(PGconn* conn);

// Puts `conn` (idle) in pipeline mode; false when libpq will not.
bool startPipeline(PGconn* conn);

// Records a statement just sent on `conn` in pipeline mode: `shown` names it
// in a failure's text, `text` (may be null) is its entry among the
// connection's prepared texts, `preparing` says it was the PREPARE of that
// text rather than a run of it.
void sentInPipeline(PGconn* conn, const QString& shown, PreparedText* text, bool preparing);

// The first failure among a pipeline's statements.
struct PipelineFailure
{
    bool failed = false;
    QString what; // "executar \"DELETE FROM …\""
    QString detail;
    bool transient = false;
};

// Ends the pipeline of `conn`: the sync goes out and every outcome is read.
// With `last`, the last statement sent was the caller's own, whose result is
// handed over there (null when it never came) instead of being judged here.
// Leaves the connection out of pipeline mode.
PipelineFailure finishPipeline(PGconn* conn, PGresult** last);

} // namespace krt::app::detail
