#pragma once

// The streamed form of a reply (version 2): a list sent while it is read from
// the database, in blocks of rows, ended by a trailer that says whether the
// list is whole. See docs/protocol.md, section 4.1.

#include "framework/wire/callcodec.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <span>
#include <string_view>

namespace krt {

// The request header by which a client says it reads streamed replies, and
// its value.
inline constexpr char kReplyVersionHeader[] = "X-Krt-Reply";
inline constexpr char kStreamedReplyVersion[] = "2";

// The pieces of a streamed reply, in order: the head (with the packet's bytes
// before its row count), any number of row blocks, then one end or failure.
QByteArray streamedReplyHead(std::string_view packetHead);
QByteArray streamedRowBlock(std::string_view rows, int count);
QByteArray streamedReplyEnd();
// The server failed after rows went out: the client must report the error,
// not the rows it has. Like an error reply, it carries the error's code and
// the method its text names; without both it takes the text-only form.
QByteArray streamedReplyFailure(ErrorCode code, const QString& method, const QString& text);
QByteArray streamedReplyFailure(const QString& text);
// The end of a stream that failed with `error`, as its error reply would say.
QByteArray streamedReplyFailure(const Error& error);

// Decodes a reply body while it arrives, in either form: a version 1 reply is
// kept and decoded at the end; a streamed one is validated and indexed block
// by block, so the list is ready when its last byte is.
class ReplyReader
{
public:
    ReplyReader();
    ~ReplyReader();
    ReplyReader(const ReplyReader&) = delete;
    ReplyReader& operator=(const ReplyReader&) = delete;

    // Takes the next bytes; throws Error (Malformed) as soon as they cannot be a reply.
    void feed(const char* data, qsizetype size);
    // The same without a copy: where the reader wants the next bytes of the
    // body (a streamed block's rows go straight to their place in the
    // packet), and how many it takes there at most. The caller writes up to
    // that many there and says how many with wrote(). Empty once the reply
    // has ended: any further byte is refused by feed(). `expected` (the
    // body's length, when the transport knows it) lets a version 1 reply be
    // kept in one buffer of its size.
    std::span<char> space(qint64 expected = -1);
    void wrote(qsizetype size);
    // The reply once the body has ended; throws Error (Malformed) when it is
    // malformed or was cut short (a streamed list without its end is never
    // taken for a whole one).
    Reply finish();

    struct State;

private:
    std::unique_ptr<State> s_;
};

} // namespace krt
