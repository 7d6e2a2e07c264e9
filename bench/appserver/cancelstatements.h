#pragma once

// The six changes of a cancellation as set-based statements over a temporary
// table of keys, in the text both SQLite and PostgreSQL take: the floors'
// own statements, written as a hand-written program would write them (each
// table reached through its index on the invoice key).

#include <array>

namespace krt::bench {

// The key table, created once per connection (session-local, no index
// beyond its key).
extern const char* const kCreateKeyTable;
// Empties it before the keys of the next cancellation.
extern const char* const kClearKeyTable;
// The changes, in the server's order: balances restored from the postings'
// items, those items and postings deleted, the sales freed, the invoice
// items and the invoices deleted.
extern const std::array<const char*, 6> kCancelByKeyTable;

} // namespace krt::bench
