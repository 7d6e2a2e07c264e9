#include "framework/wire/packetformat.h"

#include <array>
#include <limits>

namespace krt::wire {

namespace {
constexpr qint64 kMsPerDay = 86400000;
constexpr qint64 kUnixEpochJulianDay = 2440588;

qint64 firstDayMs()
{
    static const qint64 v = (QDate(1, 1, 1).toJulianDay() - kUnixEpochJulianDay) * kMsPerDay;
    return v;
}
qint64 lastDayEndMs()
{
    static const qint64 v =
        (QDate(9999, 12, 31).toJulianDay() - kUnixEpochJulianDay + 1) * kMsPerDay - 1;
    return v;
}

QDateTime localWallClock(qint64 ms)
{
    qint64 days = ms / kMsPerDay;
    qint64 rest = ms % kMsPerDay;
    if (rest < 0) {
        rest += kMsPerDay;
        --days;
    }
    const QDate date = QDate::fromJulianDay(days + kUnixEpochJulianDay);
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(rest));
    QDateTime local(date, time);
    if (local.isValid() && local.time() == time)
        return local;
    // The local clock skipped this time (the hour daylight saving starts on):
    // keep the stored wall clock with the day's own offset instead of losing
    // or shifting it.
    return QDateTime(date, time, Qt::OffsetFromUTC, QDateTime(date, QTime(12, 0)).offsetFromUtc());
}

} // namespace

std::optional<qint64> wallClockMs(const QDateTime& value)
{
    const QDate date = value.date();
    const QTime time = value.time();
    if (!date.isValid() || !time.isValid() || date.year() < 1 || date.year() > 9999)
        return std::nullopt;
    return (date.toJulianDay() - kUnixEpochJulianDay) * kMsPerDay + time.msecsSinceStartOfDay();
}

bool wallClockMsInRange(qint64 ms)
{
    return ms >= firstDayMs() && ms <= lastDayEndMs();
}

std::optional<QDateTime> fromWallClockMs(qint64 ms)
{
    if (!wallClockMsInRange(ms))
        return std::nullopt;
    // A list's days repeat down its rows, and each local time built asks the
    // C library for the zone again (a stat of /etc/localtime every time): the
    // last few built on this thread are kept.
    struct Built
    {
        qint64 ms = std::numeric_limits<qint64>::min(); // out of range: an empty slot
        QDateTime value;
    };
    thread_local std::array<Built, 4> kept;
    thread_local size_t nextSlot = 0;
    for (const Built& built : kept)
        if (built.ms == ms)
            return built.value;
    Built& slot = kept[nextSlot];
    slot = Built{ms, localWallClock(ms)};
    nextSlot = (nextSlot + 1) % kept.size();
    return slot.value;
}

} // namespace krt::wire
