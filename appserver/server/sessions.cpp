#include "appserver/server/sessions.h"

#include <sodium.h>

namespace krt::app {

SessionTable::SessionTable(std::chrono::seconds idle, std::chrono::seconds lifetime)
    : idle_(idle), lifetime_(lifetime), lastPrune_(Clock::now())
{
    if (sodium_init() < 0)
        qFatal("libsodium não iniciou");
}

QByteArray SessionTable::open(const QString& user, qint64 generation)
{
    unsigned char random[32];
    randombytes_buf(random, sizeof random);
    char text[sodium_base64_ENCODED_LEN(sizeof random, sodium_base64_VARIANT_URLSAFE_NO_PADDING)];
    sodium_bin2base64(text, sizeof text, random, sizeof random,
                      sodium_base64_VARIANT_URLSAFE_NO_PADDING);
    const QByteArray token(text);
    const Clock::time_point now = Clock::now();
    std::lock_guard lock(mutex_);
    prune(now);
    sessions_.insert(token, Entry{user, generation, now, now});
    return token;
}

std::optional<SessionTable::Session> SessionTable::find(const QByteArray& token)
{
    if (token.isEmpty() || token.size() > 200)
        return std::nullopt;
    const Clock::time_point now = Clock::now();
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(token);
    if (it == sessions_.end())
        return std::nullopt;
    if (now - it->lastUse > idle_ || now - it->created > lifetime_) {
        sessions_.erase(it);
        return std::nullopt;
    }
    it->lastUse = now;
    return Session{it->user, it->generation};
}

void SessionTable::close(const QByteArray& token)
{
    std::lock_guard lock(mutex_);
    sessions_.remove(token);
}

void SessionTable::closeUser(const QString& user, qint64 current)
{
    std::lock_guard lock(mutex_);
    for (auto it = sessions_.begin(); it != sessions_.end();)
        it = it->user == user && it->generation != current ? sessions_.erase(it) : std::next(it);
}

int SessionTable::size() const
{
    std::lock_guard lock(mutex_);
    return int(sessions_.size());
}

void SessionTable::prune(Clock::time_point now)
{
    if (now - lastPrune_ < std::chrono::minutes(1))
        return;
    lastPrune_ = now;
    for (auto it = sessions_.begin(); it != sessions_.end();)
        it = (now - it->lastUse > idle_ || now - it->created > lifetime_) ? sessions_.erase(it)
                                                                          : std::next(it);
}

namespace {

QString addressKey(const QString& address)
{
    return QStringLiteral("a:") + address;
}

QString accountKey(const QString& account)
{
    return QStringLiteral("u:") + account.left(60);
}

} // namespace

std::chrono::seconds LoginThrottle::delayAfter(int failures, int free)
{
    if (failures < free)
        return std::chrono::seconds(0);
    const int doublings = qMin(failures - free, 9);
    return std::chrono::seconds(qMin(1 << doublings, 300));
}

int LoginThrottle::waitOf(const QString& key, int free, Clock::time_point now) const
{
    const auto it = entries_.constFind(key);
    if (it == entries_.cend() || it->failures < free)
        return 0;
    const auto until = it->last + delayAfter(it->failures, free);
    if (now >= until)
        return 0;
    return int(std::chrono::ceil<std::chrono::seconds>(until - now).count());
}

void LoginThrottle::count(const QString& key, Clock::time_point now)
{
    Entry& e = entries_[key];
    if (e.failures > 0 && now - e.last > std::chrono::hours(1))
        e.failures = 0;
    ++e.failures;
    e.last = now;
}

int LoginThrottle::addressWait(const QString& address, Clock::time_point now)
{
    std::lock_guard lock(mutex_);
    return waitOf(addressKey(address), kFreePerAddress, now);
}

LoginThrottle::Admission LoginThrottle::admit(const QString& address, const QString& account,
                                              Clock::time_point now)
{
    std::lock_guard lock(mutex_);
    // Accounts and addresses quiet for an hour are forgotten; past a bound
    // (names made up by the thousand), those not held up either.
    if (entries_.size() > 10000) {
        for (auto it = entries_.begin(); it != entries_.end();)
            it = now - it->last > std::chrono::hours(1) ? entries_.erase(it) : std::next(it);
    }
    if (entries_.size() > 100000) {
        for (auto it = entries_.begin(); it != entries_.end();)
            it = it->failures < kFreePerAccount ? entries_.erase(it) : std::next(it);
    }
    const QString byAddress = addressKey(address);
    const QString byAccount = accountKey(account);
    Admission a;
    if (const int wait = waitOf(byAccount, kFreePerAccount, now); wait > 0) {
        a.waitSeconds = wait;
        a.account = true;
    } else if (const int wait = waitOf(byAddress, kFreePerAddress, now); wait > 0) {
        a.waitSeconds = wait;
    } else {
        count(byAccount, now);
        count(byAddress, now);
    }
    a.addressFailures = entries_.value(byAddress).failures;
    return a;
}

void LoginThrottle::uncount(const QString& address, const QString& account)
{
    std::lock_guard lock(mutex_);
    for (const QString& key : {addressKey(address), accountKey(account)}) {
        const auto it = entries_.find(key);
        if (it != entries_.end() && --it->failures <= 0)
            entries_.erase(it);
    }
}

void LoginThrottle::succeeded(const QString& address, const QString& account)
{
    std::lock_guard lock(mutex_);
    entries_.remove(addressKey(address));
    entries_.remove(accountKey(account));
}

} // namespace krt::app
