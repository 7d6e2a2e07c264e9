#include "appserver/http/connectionquota.h"

namespace krt {

ConnectionQuota::ConnectionQuota(int total, int perAddress, std::chrono::milliseconds logInterval)
    : total_(total), perAddress_(perAddress), interval_(logInterval)
{
}

ConnectionQuota::Verdict ConnectionQuota::tryOpen(const QString& address)
{
    std::lock_guard lock(mutex_);
    if (open_ >= total_)
        return Verdict::TooManyInAll;
    int& mine = perAddressOpen_[address];
    if (perAddress_ > 0 && mine >= perAddress_)
        return Verdict::TooManyFromAddress;
    ++mine;
    ++open_;
    return Verdict::Open;
}

void ConnectionQuota::close(const QString& address)
{
    std::lock_guard lock(mutex_);
    const auto it = perAddressOpen_.find(address);
    if (it == perAddressOpen_.end())
        return;
    --open_;
    if (--*it <= 0)
        perAddressOpen_.erase(it);
}

int ConnectionQuota::openFrom(const QString& address) const
{
    std::lock_guard lock(mutex_);
    return perAddressOpen_.value(address);
}

bool ConnectionQuota::shouldReport(const QString& address, qint64& unreported,
                                   Clock::time_point now)
{
    std::lock_guard lock(mutex_);
    // Forget addresses whose interval is over, so that many addresses
    // refused once each cannot grow the table without end.
    if (reported_.size() > 4096) {
        for (auto it = reported_.begin(); it != reported_.end();)
            it = now - it->at >= interval_ && it->since == 0 ? reported_.erase(it) : std::next(it);
    }
    const auto it = reported_.find(address);
    if (it != reported_.end() && now - it->at < interval_) {
        ++it->since;
        return false;
    }
    unreported = it == reported_.end() ? 0 : it->since;
    reported_.insert(address, Reported{now, 0});
    return true;
}

} // namespace krt
