#pragma once

#include "appserver/db/database.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace krt::app {

// A user of the application server as the database keeps it (KRTUSUARIO and
// KRTUSUARIOFILIAL), without the password hash.
struct UserRecord
{
    QString name;
    bool allBranches = false;
    // Sorted; empty when allBranches.
    QStringList branches;
    // The user acts on its one branch only.
    bool fixedBranch = false;
    bool active = true;
    // Raised by every change that ends the user's sessions (NRGERACAO).
    qint64 sessionGeneration = 0;

    bool allows(const QString& branch) const { return allBranches || branches.contains(branch); }
};

// Users of the server: created, changed and checked on the calling thread's
// connection. Every failure throws Error with a Portuguese text.
class UserStore
{
public:
    explicit UserStore(Database& db) : db_(db) {}

    enum class PasswordRule
    {
        MinimumLength,
        // Only the demo database's documented user, whose password is
        // "demo": it exists to be known, so its length protects nothing.
        DemoUser,
    };
    // `branches` empty with allBranches; a fixed-branch user has exactly one.
    void add(const QString& name, const QString& password, bool allBranches,
             const QStringList& branches, bool fixedBranch,
             PasswordRule rule = PasswordRule::MinimumLength);
    void setPassword(const QString& name, const QString& password);
    void setActive(const QString& name, bool active);
    // Changes a user's branches: `all` gives it every branch (nothing else
    // with it); otherwise `add` joins its list (a user of all branches is
    // held to exactly these) and `remove` leaves it. The result must keep at
    // least one branch, and exactly one for a fixed-branch user. Ends the
    // user's sessions. Returns the user as it is now.
    UserRecord changeBranches(const QString& name, const QStringList& add,
                              const QStringList& remove, bool all);
    QList<UserRecord> list();
    std::optional<UserRecord> find(const QString& name);
    // The user, read as on every call, and whether the session `sessionId`
    // (SessionClaims::idText) was ended by a logout, in the same statement.
    std::optional<UserRecord> findForSession(const QString& name, const QString& sessionId,
                                             bool* ended);
    // Ends one session of `name` on every server process (a logout): it is
    // remembered until `expiresMs`, when the token is worthless anyway, and
    // sessions remembered past their own expiry are forgotten.
    void endSession(const QString& name, const QString& sessionId, qint64 expiresMs, qint64 nowMs);

    enum class Verdict
    {
        Ok,
        Unknown,
        WrongPassword,
        Disabled,
    };
    // Checks a user's password (always spending the hash's time, even for an
    // unknown user). `user` is filled when the verdict is Ok or Disabled.
    Verdict verify(const QString& name, const QString& password, UserRecord* user);

    // User names: 1 to 40 letters, digits, '.', '_', '-' or '@'.
    static bool isValidName(const QString& name);

private:
    std::optional<UserRecord> read(const QSqlDatabase& db, const QString& name, QString* hash,
                                   const QString* sessionId = nullptr, bool* ended = nullptr);

    Database& db_;
};

} // namespace krt::app
