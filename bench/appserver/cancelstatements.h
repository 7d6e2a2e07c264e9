#pragma once

// The six changes of a cancellation as set-based statements over a temporary
// table of keys, in the text both SQLite and PostgreSQL take: the floors'
// own statements, written as a hand-written program would write them (each
// table reached through its index on the invoice key).

#include <array>
#include <string>

namespace krt::bench {

// The key table, created once per connection (session-local, no index
// beyond its key).
extern const char* const kCreateKeyTable;
// Empties it before the keys of the next cancellation.
extern const char* const kClearKeyTable;
// What a cancellation reads before it changes anything, set-based over the
// key table: every invoice's own branch, state, origin and exit day, with
// whether its postings or sales belong to another branch (the server's own
// look-up, two index probes per invoice), and each branch's first and last
// posting day with their count, checked against the open period. A floor
// without them would not be doing a cancellation's work: the server may not
// skip them. The rows are read in full.
extern const std::array<std::string, 2> kChecksByKeyTable;
// The same two statements up to their WHERE, for a floor that picks the keys
// its own way (kChecksByKeyTable adds the key table's condition).
extern const char* const kInvoiceStatesWhere;
extern const char* const kPostingSpansWhere; // ends in "WHERE"; GROUP BY L.CDFILIAL follows
// The changes, in the server's order: balances restored from the postings'
// items, those items and postings deleted, the sales freed, the invoice
// items and the invoices deleted.
extern const std::array<const char*, 6> kCancelByKeyTable;

} // namespace krt::bench
