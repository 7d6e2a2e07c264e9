#pragma once

namespace krt::app {

// True when standard output is the systemd journal's stream: systemd sets
// JOURNAL_STREAM to "device:inode" of the stream it connected, and a program
// started from such a service with its output elsewhere does not match.
bool stdoutIsJournal();

} // namespace krt::app
