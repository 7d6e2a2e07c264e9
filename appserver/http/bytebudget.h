#pragma once

// Bytes the whole server may hold at once for one purpose (the bodies of
// requests being read or run), shared by every connection: a request that
// would go over is refused instead of making the process grow.

#include <QtGlobal>
#include <atomic>
#include <utility>

namespace krt {

class ByteBudget
{
public:
    explicit ByteBudget(qint64 limit) : limit_(limit) {}

    // Takes `n` bytes when they fit; false (nothing taken) otherwise.
    bool tryTake(qint64 n)
    {
        qint64 held = held_.load();
        do {
            if (n > limit_ - held)
                return false;
        } while (!held_.compare_exchange_weak(held, held + n));
        return true;
    }
    void give(qint64 n) { held_.fetch_sub(n); }
    qint64 held() const { return held_.load(); }
    qint64 limit() const { return limit_; }

private:
    const qint64 limit_;
    std::atomic<qint64> held_{0};
};

// One holder's part of a budget, given back when it is destroyed or reset.
class BudgetShare
{
public:
    BudgetShare() = default;
    explicit BudgetShare(ByteBudget& budget) : budget_(&budget) {}
    BudgetShare(BudgetShare&& other) noexcept
        : budget_(std::exchange(other.budget_, nullptr)), bytes_(std::exchange(other.bytes_, 0))
    {
    }
    BudgetShare& operator=(BudgetShare&& other) noexcept
    {
        if (this != &other) {
            reset();
            budget_ = std::exchange(other.budget_, nullptr);
            bytes_ = std::exchange(other.bytes_, 0);
        }
        return *this;
    }
    BudgetShare(const BudgetShare&) = delete;
    BudgetShare& operator=(const BudgetShare&) = delete;
    ~BudgetShare() { reset(); }

    // Takes `n` bytes more; false (nothing taken) when the budget has not
    // got them.
    bool grow(qint64 n)
    {
        if (!budget_ || !budget_->tryTake(n))
            return false;
        bytes_ += n;
        return true;
    }
    void reset()
    {
        if (budget_ && bytes_ > 0)
            budget_->give(bytes_);
        bytes_ = 0;
    }
    qint64 bytes() const { return bytes_; }

private:
    ByteBudget* budget_ = nullptr;
    qint64 bytes_ = 0;
};

} // namespace krt
