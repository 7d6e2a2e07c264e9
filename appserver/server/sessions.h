#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace krt::app {

// What a session token says about its holder, once its signature is checked.
struct SessionClaims
{
    QString user;
    // The user's session generation at login (KRTUSUARIO.NRGERACAO).
    qint64 generation = 0;
    // 16 random bytes naming this one session (a logout ends it alone).
    QByteArray id;
    // Milliseconds since 1970 UTC.
    qint64 issuedMs = 0;
    qint64 expiresMs = 0;

    // The identifier as the database keeps it (32 hexadecimal digits).
    QString idText() const { return QString::fromLatin1(id.toHex()); }
};

// Session tokens that every process holding the same keys accepts, so that a
// balancer may send each call to any process and a restart logs nobody out.
// A token is the claims and their MAC (libsodium crypto_auth, HMAC-SHA-512-256)
// in URL-safe Base64: nothing is kept per session in memory. What ends a
// session before its expiry is in the database, which the server reads on
// every call anyway: the user's generation (a new password, the user disabled,
// its branches changed) and the sessions ended by a logout.
//
// The first key signs; every key verifies, so a key file may carry the next
// key and the previous one while the processes are restarted one by one.
class SessionTokens
{
public:
    static constexpr int kKeyBytes = 32;
    // A token is good for this long after the login, whatever its use.
    static constexpr qint64 kLifetimeMs = qint64(8) * 60 * 60 * 1000;
    // Processes on other machines may be this far ahead of the one that
    // signed.
    static constexpr qint64 kClockSkewMs = 5 * 60 * 1000;

    // `keys` of kKeyBytes each, at least one.
    explicit SessionTokens(QList<QByteArray> keys, qint64 lifetimeMs = kLifetimeMs);
    // A random key of this process alone: its tokens are good nowhere else
    // and end with it.
    static SessionTokens perProcess();

    // Reads a key file: one key per line, 64 hexadecimal digits, the signing
    // one first; blank lines and lines starting with '#' are skipped. Throws
    // Error (unreadable, malformed, no key, or the file readable or
    // writable by others than its owner).
    static QList<QByteArray> readKeyFile(const QString& path);
    // A new random key.
    static QByteArray newKey();
    // The text of a key file holding `keys`, the signing one first.
    static QByteArray keyFileText(const QList<QByteArray>& keys);

    QByteArray issue(const QString& user, qint64 generation, qint64 nowMs) const;
    // The claims of a token signed by one of the keys and not expired at
    // `nowMs`; nothing otherwise.
    std::optional<SessionClaims> verify(const QByteArray& token, qint64 nowMs) const;

    // Milliseconds since 1970 UTC, the clock every process compares with.
    static qint64 nowMs();

private:
    QList<QByteArray> keys_;
    qint64 lifetimeMs_;
};

} // namespace krt::app
