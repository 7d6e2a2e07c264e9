#pragma once

// A long result read ahead: one thread steps the database and copies each
// row's values into batches while the caller's thread turns the rows before
// them into the answer, so that the two halves of a long list's work run on
// two cores instead of one after the other. Private to appserver/db.

#include "appserver/db/statement.h"

#include <memory>

namespace krt::app::detail {

// Wraps `inner`, executed and not yet read (capturesRows() must be true).
// The first `inlineRows` rows are read straight from it, so that a short
// result never starts a thread; past them a thread of the statement's own
// reads the rest, at most a few batches ahead. The statement's values are
// the same either way: a database failure while reading ahead is thrown by
// the next() that reaches it, after the rows read before it.
//
// While rows remain, nothing else may use the statement's connection: it is
// in use by the reading thread. Reaching the end or destroying the statement
// (which stops and waits for the thread) gives it back.
std::unique_ptr<Statement> readingAhead(std::unique_ptr<Statement> inner, int inlineRows);

} // namespace krt::app::detail
