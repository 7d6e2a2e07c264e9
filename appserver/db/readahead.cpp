#include "appserver/db/readahead.h"

#include <QStringList>
#include <charconv>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace krt::app::detail {

namespace {

// Rows per hand-over: large enough that the two threads meet a few dozen
// times in ten thousand rows, small enough that the first rows come soon.
constexpr int kBatchRows = 256;
// How far the reader may run ahead of the caller, in batches: bounds the
// memory of a long list whatever its length.
constexpr size_t kMaxReady = 4;

struct Batch
{
    std::vector<CapturedValue> values; // row after row, every column
    std::string bytes;                 // the values' texts
    int rows = 0;
};

// A number from a text value, as SQLite reads one (leading spaces skipped,
// the longest number at the start, 0 when there is none), in every locale.
template <typename T> T leadingNumber(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    T value{};
    std::from_chars(text.data() + i, text.data() + text.size(), value);
    return value;
}

class ReadAheadStatement final : public Statement
{
public:
    ReadAheadStatement(std::unique_ptr<Statement> inner, int inlineRows)
        : inner_(std::move(inner)), columns_(inner_->columnCount()), inlineLeft_(inlineRows)
    {
        for (int col = 0; col < columns_; ++col)
            names_ << inner_->columnName(col);
    }

    ~ReadAheadStatement() override
    {
        if (!reader_.joinable())
            return;
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        room_.notify_one();
        reader_.join();
    }

    ReadAheadStatement(const ReadAheadStatement&) = delete;
    ReadAheadStatement& operator=(const ReadAheadStatement&) = delete;

    // Its parameters were bound and it was executed before it was wrapped.
    void bind(const QVariant&) override { Q_ASSERT_X(false, "ReadAheadStatement", "bind"); }
    void exec() override { Q_ASSERT_X(false, "ReadAheadStatement", "exec"); }

    bool next() override
    {
        if (ended_)
            return false;
        if (!reading_) {
            if (inlineLeft_ > 0) {
                --inlineLeft_;
                ended_ = !inner_->next();
                return !ended_;
            }
            reader_ = std::thread([this] { read(); });
            reading_ = true; // only once there is a reader to wait for
        }
        if (current_ && ++row_ < current_->rows)
            return true;
        std::unique_lock lock(mutex_);
        if (current_)
            spare_.push_back(std::move(current_));
        filled_.wait(lock, [this] { return !ready_.empty() || finished_; });
        if (ready_.empty()) {
            ended_ = true;
            if (failure_)
                std::rethrow_exception(std::exchange(failure_, nullptr));
            return false;
        }
        current_ = std::move(ready_.front());
        ready_.pop_front();
        row_ = 0;
        lock.unlock();
        room_.notify_one();
        return true;
    }

    bool isNull(int col) const override
    {
        if (!reading_)
            return inner_->isNull(col);
        return captured(col).kind == CapturedValue::Kind::Null;
    }

    std::string_view utf8(int col) const override
    {
        if (!reading_)
            return inner_->utf8(col);
        const CapturedValue& v = captured(col);
        return std::string_view(current_->bytes.data() + v.at, v.size);
    }

    std::optional<std::string_view> utf8OrNull(int col) const override
    {
        if (!reading_)
            return inner_->utf8OrNull(col);
        const CapturedValue& v = captured(col);
        if (v.kind == CapturedValue::Kind::Null)
            return std::nullopt;
        return std::string_view(current_->bytes.data() + v.at, v.size);
    }

    QVariant value(int col) const override
    {
        if (!reading_)
            return inner_->value(col);
        const CapturedValue& v = captured(col);
        switch (v.kind) {
        case CapturedValue::Kind::Null:
            return QVariant();
        case CapturedValue::Kind::Integer:
            return QVariant(v.integer);
        case CapturedValue::Kind::Float:
            return QVariant(v.number);
        case CapturedValue::Kind::Text:
            break;
        }
        return QVariant(text(col));
    }

    double number(int col) const override
    {
        if (!reading_)
            return inner_->number(col);
        const CapturedValue& v = captured(col);
        return v.kind == CapturedValue::Kind::Text ? leadingNumber<double>(utf8(col)) : v.number;
    }

    qint64 integer(int col) const override
    {
        if (!reading_)
            return inner_->integer(col);
        const CapturedValue& v = captured(col);
        return v.kind == CapturedValue::Kind::Text ? leadingNumber<qint64>(utf8(col)) : v.integer;
    }

    // A read changes nothing; while the reader runs, the statement is its own.
    int rowsAffected() const override { return reading_ ? 0 : inner_->rowsAffected(); }
    int columnCount() const override { return columns_; }
    QString columnName(int col) const override { return names_.value(col); }

private:
    const CapturedValue& captured(int col) const
    {
        Q_ASSERT(current_ && col >= 0 && col < columns_);
        return current_->values[size_t(row_) * size_t(columns_) + size_t(col)];
    }

    // The reader's thread: fills batches until the rows end, the statement
    // fails or the caller is gone.
    void read()
    {
        for (;;) {
            std::unique_ptr<Batch> batch;
            {
                std::unique_lock lock(mutex_);
                room_.wait(lock, [this] { return stop_ || ready_.size() < kMaxReady; });
                if (stop_)
                    return;
                if (!spare_.empty()) {
                    batch = std::move(spare_.back());
                    spare_.pop_back();
                }
            }
            if (!batch)
                batch = std::make_unique<Batch>();
            // Room for a whole batch once (a reused batch has it already):
            // growing it row by row cost the reader a tenth of its time.
            batch->values.resize(size_t(kBatchRows) * size_t(columns_));
            batch->bytes.clear();
            batch->rows = 0;
            bool more = true;
            std::exception_ptr failure;
            try {
                CapturedValue* row = batch->values.data();
                while (batch->rows < kBatchRows && (more = inner_->next())) {
                    for (int col = 0; col < columns_; ++col) {
                        row[col] = CapturedValue{}; // nothing left of the batch's last use
                        inner_->capture(col, row[col], batch->bytes);
                    }
                    row += columns_;
                    ++batch->rows;
                }
            } catch (...) {
                failure = std::current_exception();
                more = false;
            }
            {
                const std::lock_guard lock(mutex_);
                if (batch->rows > 0)
                    ready_.push_back(std::move(batch));
                if (!more) {
                    finished_ = true;
                    failure_ = failure;
                }
            }
            filled_.notify_one();
            if (!more)
                return;
        }
    }

    const std::unique_ptr<Statement> inner_;
    const int columns_;
    QStringList names_;
    int inlineLeft_;
    // The caller's side.
    bool reading_ = false; // the reader started: the rows come from batches
    bool ended_ = false;
    std::unique_ptr<Batch> current_;
    int row_ = 0;
    // Shared, under mutex_.
    std::mutex mutex_;
    std::condition_variable filled_, room_;
    std::deque<std::unique_ptr<Batch>> ready_;
    std::vector<std::unique_ptr<Batch>> spare_;
    bool finished_ = false;
    bool stop_ = false;
    std::exception_ptr failure_;
    std::thread reader_;
};

} // namespace

std::unique_ptr<Statement> readingAhead(std::unique_ptr<Statement> inner, int inlineRows)
{
    return std::make_unique<ReadAheadStatement>(std::move(inner), inlineRows);
}

} // namespace krt::app::detail
