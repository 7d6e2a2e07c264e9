#pragma once

// The body of a call as the server reads it: one owning QByteArray, never
// grown by doubling. A body whose length is announced is reserved whole; a
// chunked one is gathered in blocks and joined once at its end. So reading a
// body holds at most twice its bytes (only while a chunked body is joined),
// and the decoded call's packets can share the bytes instead of copying them.

#include <QByteArray>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/optional.hpp>
#include <cstdint>
#include <vector>

namespace krt::wire {

struct CallBody
{
    using value_type = QByteArray;

    static std::uint64_t size(const value_type& body) { return std::uint64_t(body.size()); }

    class reader
    {
    public:
        template <bool isRequest, class Fields>
        reader(boost::beast::http::header<isRequest, Fields>&, value_type& body) : body_(body)
        {
        }

        void init(const boost::optional<std::uint64_t>& length, boost::system::error_code& ec)
        {
            ec = {};
            // The parser has checked an announced length against its limit.
            if (length)
                body_.reserve(qsizetype(*length));
            announced_ = bool(length);
        }

        template <class ConstBufferSequence>
        std::size_t put(const ConstBufferSequence& buffers, boost::system::error_code& ec)
        {
            ec = {};
            std::size_t taken = 0;
            for (auto it = boost::asio::buffer_sequence_begin(buffers);
                 it != boost::asio::buffer_sequence_end(buffers); ++it) {
                const auto* data = static_cast<const char*>(it->data());
                std::size_t left = it->size();
                taken += left;
                if (announced_) {
                    body_.append(data, qsizetype(left));
                    continue;
                }
                while (left > 0) {
                    if (blocks_.empty() || blocks_.back().size() == kBlockBytes) {
                        blocks_.emplace_back();
                        blocks_.back().reserve(kBlockBytes);
                    }
                    QByteArray& block = blocks_.back();
                    const std::size_t n = std::min<std::size_t>(left, kBlockBytes - block.size());
                    block.append(data, qsizetype(n));
                    data += n;
                    left -= n;
                }
            }
            return taken;
        }

        void finish(boost::system::error_code& ec)
        {
            ec = {};
            if (blocks_.size() == 1) {
                body_ = std::move(blocks_.front());
            } else if (!blocks_.empty()) {
                qsizetype total = 0;
                for (const QByteArray& block : blocks_)
                    total += block.size();
                body_.reserve(total);
                for (QByteArray& block : blocks_) {
                    body_.append(block);
                    block = QByteArray();
                }
            }
            blocks_.clear();
        }

    private:
        static constexpr qsizetype kBlockBytes = 1 << 20;
        value_type& body_;
        std::vector<QByteArray> blocks_;
        bool announced_ = false;
    };
};

} // namespace krt::wire
