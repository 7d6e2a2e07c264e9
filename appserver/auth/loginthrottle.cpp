#include "appserver/auth/loginthrottle.h"

#include "appserver/auth/users.h"
#include "appserver/db/sql.h"
#include "framework/wire/errors.h"

#include <sodium.h>

namespace krt::app {

namespace {

constexpr qint64 kForgetAfterMs = qint64(60) * 60 * 1000;

QString addressKey(const QString& address)
{
    return QStringLiteral("a:") + address.left(100);
}

// A user's name as it is; a name as typed that can be no user's (any
// character, NUL included, which no text column takes) by its hash.
QString accountKey(const QString& account)
{
    if (UserStore::isValidName(account))
        return QStringLiteral("u:") + account;
    const QByteArray name = account.left(60).toUtf8();
    unsigned char hash[16];
    crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char*>(name.constData()),
                       quint64(name.size()), nullptr, 0);
    return QStringLiteral("u#") +
           QString::fromLatin1(
               QByteArray(reinterpret_cast<const char*>(hash), sizeof hash).toHex());
}

struct Row
{
    int failures = 0;
    qint64 lastMs = 0;
};

// Failures older than the forgetting time no longer count.
int liveFailures(const Row& row, qint64 nowMs)
{
    return nowMs - row.lastMs > kForgetAfterMs ? 0 : row.failures;
}

int secondsToWait(const Row& row, int free, qint64 nowMs)
{
    const int failures = liveFailures(row, nowMs);
    if (failures < free)
        return 0;
    const qint64 until = row.lastMs + LoginThrottle::delayMsAfter(failures, free);
    return until <= nowMs ? 0 : int((until - nowMs + 999) / 1000);
}

} // namespace

qint64 LoginThrottle::delayMsAfter(int failures, int free)
{
    if (failures < free)
        return 0;
    const int doublings = qMin(failures - free, 9);
    return qint64(qMin(1 << doublings, 300)) * 1000;
}

void LoginThrottle::remember(const QString& address, qint64 nowMs, qint64 untilMs)
{
    std::lock_guard lock(mutex_);
    if (addressUntil_.size() > 10000) {
        for (auto it = addressUntil_.begin(); it != addressUntil_.end();)
            it = it.value() <= nowMs ? addressUntil_.erase(it) : std::next(it);
    }
    qint64& until = addressUntil_[address];
    until = qMax(until, untilMs);
}

int LoginThrottle::addressWait(const QString& address, qint64 nowMs)
{
    std::lock_guard lock(mutex_);
    const auto it = addressUntil_.constFind(address);
    if (it == addressUntil_.cend() || it.value() <= nowMs)
        return 0;
    return int((it.value() - nowMs + 999) / 1000);
}

// Rows quiet for longer than the forgetting time count for nothing: each
// process clears them at most once a minute.
void LoginThrottle::purge(const QSqlDatabase& db, qint64 nowMs)
{
    qint64 last = lastPurgeMs_.load();
    if (nowMs - last < 60 * 1000 || !lastPurgeMs_.compare_exchange_strong(last, nowMs))
        return;
    Query(db, QStringLiteral("DELETE FROM KRTFALHALOGIN WHERE NRULTIMA < ?"))
        .bind(nowMs - kForgetAfterMs)
        .exec();
}

LoginThrottle::Admission LoginThrottle::admit(const QString& address, const QString& account,
                                              qint64 nowMs)
{
    const QString byAddress = addressKey(address);
    const QString byAccount = accountKey(account);
    // Locked in key order ("a:" before "u"), so two processes never wait
    // on each other in a circle.
    const QString keys[2] = {byAddress, byAccount};
    Admission a;
    withRetry([&] {
        a = Admission();
        QSqlDatabase db = db_.connection();
        Transaction tx(db, db_.kind(), Transaction::Mode::Write);
        purge(db, nowMs);
        Query insert(db, QStringLiteral("INSERT INTO KRTFALHALOGIN (DSCHAVE, QTFALHAS, NRULTIMA) "
                                        "VALUES (?, 0, ?) ON CONFLICT (DSCHAVE) DO NOTHING"));
        for (const QString& key : keys)
            insert.bindText(key).bind(nowMs).exec();
        Query read(db, QStringLiteral("SELECT DSCHAVE, QTFALHAS, NRULTIMA FROM KRTFALHALOGIN "
                                      "WHERE DSCHAVE IN (?, ?) ORDER BY DSCHAVE") +
                           db_.dialect().rowLock());
        read.bindText(byAddress).bindText(byAccount).exec();
        Row addressRow, accountRow;
        while (read.next())
            (read.text(0) == byAddress ? addressRow : accountRow) =
                Row{int(read.integer(1)), read.integer(2)};
        if (const int wait = secondsToWait(accountRow, kFreePerAccount, nowMs); wait > 0) {
            a.waitSeconds = wait;
            a.account = true;
        } else if (const int wait = secondsToWait(addressRow, kFreePerAddress, nowMs); wait > 0) {
            a.waitSeconds = wait;
        }
        a.addressFailures = liveFailures(addressRow, nowMs);
        if (a.waitSeconds == 0) {
            Query count(db, QStringLiteral("UPDATE KRTFALHALOGIN SET QTFALHAS = ?, NRULTIMA = ? "
                                           "WHERE DSCHAVE = ?"));
            count.bind(liveFailures(addressRow, nowMs) + 1).bind(nowMs).bindText(byAddress).exec();
            count.bind(liveFailures(accountRow, nowMs) + 1).bind(nowMs).bindText(byAccount).exec();
            a.addressFailures = liveFailures(addressRow, nowMs) + 1;
        }
        tx.commit();
    });
    // The address's own wait, once this attempt fails too, so that its next
    // one to this process is refused before its body is read.
    if (!a.account && a.waitSeconds > 0)
        remember(address, nowMs, nowMs + qint64(a.waitSeconds) * 1000);
    else if (a.waitSeconds == 0 && a.addressFailures >= kFreePerAddress)
        remember(address, nowMs, nowMs + delayMsAfter(a.addressFailures, kFreePerAddress));
    return a;
}

void LoginThrottle::uncount(const QString& address, const QString& account) noexcept
{
    try {
        withRetry([&] {
            QSqlDatabase db = db_.connection();
            Transaction tx(db, db_.kind(), Transaction::Mode::Write);
            Query(db, QStringLiteral("UPDATE KRTFALHALOGIN SET QTFALHAS = QTFALHAS - 1 "
                                     "WHERE DSCHAVE IN (?, ?) AND QTFALHAS > 0"))
                .bindText(addressKey(address))
                .bindText(accountKey(account))
                .exec();
            tx.commit();
        });
    } catch (const std::exception&) {
        // The database is out of reach: the attempt stays counted.
    }
    std::lock_guard lock(mutex_);
    addressUntil_.remove(address);
}

void LoginThrottle::succeeded(const QString& address, const QString& account)
{
    withRetry([&] {
        QSqlDatabase db = db_.connection();
        Transaction tx(db, db_.kind(), Transaction::Mode::Write);
        Query(db, QStringLiteral("DELETE FROM KRTFALHALOGIN WHERE DSCHAVE IN (?, ?)"))
            .bindText(addressKey(address))
            .bindText(accountKey(account))
            .exec();
        tx.commit();
    });
    std::lock_guard lock(mutex_);
    addressUntil_.remove(address);
}

} // namespace krt::app
