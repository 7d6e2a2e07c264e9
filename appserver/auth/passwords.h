#pragma once

#include <QString>

namespace krt::app {

// Password hashing with libsodium's Argon2id. The stored string carries the
// algorithm, its cost and the salt ("$argon2id$v=19$m=...,t=...,p=1$...$..."),
// so a cost raised later still verifies older hashes.
QString hashPassword(const QString& password);
// True when `password` matches `hash`; false for a malformed hash.
bool verifyPassword(const QString& hash, const QString& password);
// Spends the same time as a verification, for unknown users, so that the
// answer's delay does not tell which user names exist.
void verifyNothing(const QString& password);

// New passwords shorter than this (in characters) are refused when set;
// hashes stored before keep verifying whatever their password's length.
inline constexpr int kMinPasswordLength = 10;

} // namespace krt::app
