#include "appserver/server/sessions.h"

#include <QMutexLocker>
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
    QMutexLocker lock(&mutex_);
    prune(now);
    sessions_.insert(token, Entry{user, generation, now, now});
    return token;
}

std::optional<SessionTable::Session> SessionTable::find(const QByteArray& token)
{
    if (token.isEmpty() || token.size() > 200)
        return std::nullopt;
    const Clock::time_point now = Clock::now();
    QMutexLocker lock(&mutex_);
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
    QMutexLocker lock(&mutex_);
    sessions_.remove(token);
}

void SessionTable::closeUser(const QString& user, qint64 current)
{
    QMutexLocker lock(&mutex_);
    for (auto it = sessions_.begin(); it != sessions_.end();)
        it = it->user == user && it->generation != current ? sessions_.erase(it) : std::next(it);
}

int SessionTable::size() const
{
    QMutexLocker lock(&mutex_);
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

std::chrono::seconds LoginThrottle::delayAfter(int failures)
{
    if (failures < kFree)
        return std::chrono::seconds(0);
    const int doublings = qMin(failures - kFree, 9);
    return std::chrono::seconds(qMin(1 << doublings, 300));
}

int LoginThrottle::waitFor(const QString& address, Clock::time_point now)
{
    QMutexLocker lock(&mutex_);
    const auto it = entries_.constFind(address);
    if (it == entries_.cend())
        return 0;
    const auto until = it->last + delayAfter(it->failures);
    if (now >= until)
        return 0;
    return int(std::chrono::ceil<std::chrono::seconds>(until - now).count());
}

int LoginThrottle::failed(const QString& address, Clock::time_point now)
{
    QMutexLocker lock(&mutex_);
    // Addresses quiet for an hour are forgotten, so the table stays small.
    if (entries_.size() > 10000) {
        for (auto it = entries_.begin(); it != entries_.end();)
            it = now - it->last > std::chrono::hours(1) ? entries_.erase(it) : std::next(it);
    }
    Entry& e = entries_[address];
    if (e.failures > 0 && now - e.last > std::chrono::hours(1))
        e.failures = 0;
    ++e.failures;
    e.last = now;
    return e.failures;
}

void LoginThrottle::succeeded(const QString& address)
{
    QMutexLocker lock(&mutex_);
    entries_.remove(address);
}

} // namespace krt::app
