// libFuzzer target: a request's HTTP framing as the call server reads it —
// the head, then a body with its Content-Length or in chunks (sizes,
// extensions, trailer) — through Beast's parser under the server's limits
// and a capped read buffer, the input arriving in pieces whose size the
// input picks. Checks that the buffer never holds more than its cap, that
// every refusal gets a status the protocol lists (a full buffer: 431 for a
// head or a trailer, 400 for a chunk line) and that an accepted body is
// within its limit.
#include "appserver/http/httpframing.h"

#include <boost/asio/buffer.hpp>
#include <boost/asio/error.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;

constexpr int kHeaderBytes = 256;
constexpr std::uint64_t kBodyLimit = 4096;

// The input as a socket would deliver it: at most `piece` bytes per read.
class PieceStream
{
public:
    PieceStream(const std::uint8_t* data, std::size_t size, std::size_t piece)
        : data_(data), left_(size), piece_(piece)
    {
    }

    template <class Buffers> std::size_t read_some(const Buffers& buffers)
    {
        beast::error_code ec;
        const std::size_t n = read_some(buffers, ec);
        if (ec)
            throw beast::system_error(ec);
        return n;
    }

    template <class Buffers> std::size_t read_some(const Buffers& buffers, beast::error_code& ec)
    {
        if (left_ == 0) {
            ec = net::error::eof;
            return 0;
        }
        ec = {};
        const std::size_t n =
            net::buffer_copy(buffers, net::const_buffer(data_, std::min(left_, piece_)));
        data_ += n;
        left_ -= n;
        return n;
    }

private:
    const std::uint8_t* data_;
    std::size_t left_;
    std::size_t piece_;
};

void mustHold(bool condition)
{
    if (!condition)
        std::abort();
}

void checkRefusal(const beast::error_code& ec, krt::framing::Phase phase,
                  const beast::flat_buffer& buffer)
{
    if (ec == http::error::end_of_stream || ec == http::error::partial_message ||
        ec == net::error::eof)
        return; // the client went away: nothing is answered
    const krt::framing::Refusal r =
        krt::framing::refusalFor(ec, phase, buffer, kBodyLimit, kHeaderBytes, QStringLiteral("-"));
    mustHold(r.status == 400 || r.status == 413 || r.status == 431 || r.status == 505);
    mustHold(!r.text.isEmpty());
    if (ec == http::error::buffer_overflow) {
        mustHold(buffer.size() == buffer.max_size());
        mustHold(
            r.status ==
            (phase == krt::framing::Phase::Head || krt::framing::holdsTrailer(buffer) ? 431 : 400));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const std::size_t piece = 1 + ((std::size_t(data[0]) << 8 | data[1]) % 8192);
    PieceStream stream(data + 2, size - 2, piece);
    // Small limits, so that inputs of a few kilobytes reach and pass them.
    beast::flat_buffer buffer(krt::framing::readBufferBytes(kHeaderBytes, 512));

    std::optional<http::request_parser<http::empty_body>> head;
    head.emplace();
    head->header_limit(kHeaderBytes);
    head->body_limit(kBodyLimit);
    beast::error_code ec;
    http::read_header(stream, buffer, *head, ec);
    mustHold(buffer.size() <= buffer.max_size());
    if (ec) {
        checkRefusal(ec, krt::framing::Phase::Head, buffer);
        return 0;
    }
    http::request_parser<http::string_body> body(std::move(*head));
    body.body_limit(kBodyLimit);
    http::read(stream, buffer, body, ec);
    mustHold(buffer.size() <= buffer.max_size());
    if (ec) {
        checkRefusal(ec, krt::framing::Phase::Body, buffer);
        return 0;
    }
    mustHold(body.is_done());
    mustHold(body.get().body().size() <= kBodyLimit);
    return 0;
}
