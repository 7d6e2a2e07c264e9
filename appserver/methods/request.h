#pragma once

// One call of a method as its implementation sees it: the method's
// declaration (api/methods.h), the caller, the arguments decoded by the
// kinds it declares (each knowing its position and description, for error
// texts), and where its list goes when the client reads streamed replies.

#include "api/methods.h"
#include "appserver/methods/caller.h"
#include "framework/wire/packet.h"

#include <QDate>
#include <QString>

namespace krt::app {

// Where a streamed list goes: the rows, in chunks of about `chunkBytes`.
struct StreamSink
{
    const PacketWriter::RowSink* rows = nullptr;
    qsizetype chunkBytes = 0;
};

class MethodCall
{
public:
    MethodCall(const api::MethodDecl& method, const Caller& caller,
               const StreamSink* sink = nullptr)
        : method_(method), caller_(caller), sink_(sink)
    {
    }

    const api::MethodDecl& method() const { return method_; }
    QString name() const { return method_.nameQ(); }
    const Caller& caller() const { return caller_; }

    // Ends the call: an argument is wrong, or (refuse) the operation may not
    // be done, as when it would touch a closed accounting period. The text
    // names the method.
    [[noreturn]] void fail(const QString& text) const;
    [[noreturn]] void refuse(const QString& text) const;

    // The data set the result's packet number `index` fills.
    const api::DataSet& resultSet(int index) const;
    // Where the list of a method declared to stream goes while it is written,
    // when the server gave this call a sink: given once, to the first writer
    // that asks (RowWriter); nullptr otherwise.
    const StreamSink* takeStream() const;

private:
    const api::MethodDecl& method_;
    const Caller& caller_;
    mutable const StreamSink* sink_;
};

// A call of the method `M`: what its implementation is chosen by.
template <const auto& M> class Request : public MethodCall
{
public:
    using MethodCall::MethodCall;
};

// Where an argument stands in its call.
struct ArgAt
{
    const MethodCall* call;
    int position; // 1-based
    const api::ArgDecl* decl;

    QString description() const { return QString::fromUtf8(decl->description); }
    [[noreturn]] void fail(const QString& detail) const { call->fail(detail); }
};

template <class K> struct Decoded
{
    using type = QString; // texts, key lists and their flags
};
template <> struct Decoded<api::kind::Date>
{
    using type = QDate;
};
template <> struct Decoded<api::kind::Boolean>
{
    using type = bool;
};
template <> struct Decoded<api::kind::Rows>
{
    using type = Packet;
};

// An argument of kind K, decoded.
template <class K> struct In
{
    typename Decoded<K>::type value;
    ArgAt at;
};

// Longest text argument, in characters.
inline constexpr qsizetype kMaxTextArgChars = 1 << 20;

// Decoding refuses what the kind cannot take, naming the argument: a text
// longer than kMaxTextArgChars or holding a NUL character, a date that is
// missing or invalid. The kinds
// themselves are checked before (api::checkArguments).
QString decodeText(const Variant& v, const ArgAt& at);
QDate decodeDay(const Variant& v, const ArgAt& at);

template <class K> In<K> decode(const Variant& v, const ArgAt& at)
{
    if constexpr (std::is_same_v<K, api::kind::Date>)
        return {decodeDay(v, at), at};
    else if constexpr (std::is_same_v<K, api::kind::Boolean>)
        return {v.asBool(), at};
    else if constexpr (std::is_same_v<K, api::kind::Rows>)
        return {v.asPacket(), at};
    else
        return {decodeText(v, at), at};
}

using TextArg = In<api::kind::Text>;
using DayArg = In<api::kind::Date>;
using BoolArg = In<api::kind::Boolean>;
using PacketArg = In<api::kind::Rows>;
using CashList = In<api::args::Cash>;
using CashFlag = In<api::args::CashFlag>;
using SalesList = In<api::args::Sales>;
using SalesFlag = In<api::args::SalesFlag>;
using PostingList = In<api::args::Postings>;
using PostingFlag = In<api::args::PostingsFlag>;

} // namespace krt::app
