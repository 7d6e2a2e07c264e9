#pragma once

// How the call server reads a request's framing (head, chunk-size lines with
// their extensions, trailer) under fixed bounds, and what a client is told
// when it breaks one. Beast's parser bounds the head and the body but not a
// chunk-size line or a trailer: those wait in the connection's read buffer
// until their CRLF arrives, so the buffer itself is capped. Internal to
// krtwire (and the fuzz target over it): it includes Beast.

#include <QString>
#include <boost/beast/core/error.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <cstdint>

namespace krt::framing {

// Bytes a connection may hold that the parser has not taken yet: at least a
// whole request head, and room for the reads of a large body (64 KiB at a
// time). A chunk line or a trailer that does not end within it is refused.
std::size_t readBufferBytes(int headerBytes, std::size_t bodyReadBytes = 64 * 1024);

// Where the request was when its framing failed.
enum class Phase
{
    Head,
    Body,
};

struct Refusal
{
    int status = 400;
    QString text;
};

// The answer for a read that failed with `ec`. `unparsed` is what the buffer
// still holds (it tells a chunk line from a trailer when the buffer filled);
// `bodyLimit` is the limit the body was read under and `method` the method the
// path names ("-" when none).
Refusal refusalFor(const boost::beast::error_code& ec, Phase phase,
                   const boost::beast::flat_buffer& unparsed, std::uint64_t bodyLimit,
                   int headerBytes, const QString& method);

// True when the bytes held in `unparsed` are a trailer (the chunk line of
// size zero ended and fields follow) rather than an unfinished chunk line.
bool holdsTrailer(const boost::beast::flat_buffer& unparsed);

} // namespace krt::framing
