#pragma once

// What a remote method is, as both sides declare it (api/methods.h holds
// the declarations): its name, its arguments in order (how each travels,
// what it is, what a list argument holds), its result (the data sets of its
// packet or array, or a boolean), whether it writes and whether its list may
// be streamed. The kinds are C++ types, so that a call with an argument of
// the wrong kind, or a server implementation taking another, does not
// compile; the same facts are readable at run time (MethodDecl) for the
// server's checks, the docs and the tests.

#include "api/packetfields.h"
#include "framework/wire/variant.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <array>
#include <concepts>
#include <cstddef>
#include <span>

namespace krt::api {

// How an argument travels.
enum class ArgKind
{
    Text,
    Date,
    Boolean,
    Packet
};

// What a text argument that takes part in a selection holds: a key list
// (krt::formatKeyList text) of cash registers, sales or invoice postings, or
// the flag that says whether the list counts ("N") or everything does.
enum class Selects : quint8
{
    Nothing,
    CashRegisters,
    Sales,
    Postings
};

// One argument at run time.
struct ArgDecl
{
    ArgKind kind;
    // What the argument is, as errors name it ("data inicial").
    const char* description;
    Selects selects = Selects::Nothing;
    // With `selects`: the flag of the selection rather than its list.
    bool isFlag = false;
    // The branch the call is about: the caller must be allowed it.
    bool isBranch = false;
    // A packet argument: the data set whose rows it carries.
    const DataSet* packet = nullptr;
};

// A value a client passes for a boolean argument: a bool and nothing that
// merely converts to one (a pointer, a number).
struct Bool
{
    template <std::same_as<bool> B> Bool(B b) : value(b) {}
    bool value;
};

// The kinds of argument as types. `Value` is what a client passes.
namespace kind {

struct Plain
{
    static constexpr Selects selects = Selects::Nothing;
    static constexpr bool isFlag = false;
};
struct Text : Plain
{
    static constexpr ArgKind wire = ArgKind::Text;
    using Value = QString;
};
struct Date : Plain
{
    static constexpr ArgKind wire = ArgKind::Date;
    using Value = QDateTime;
};
struct Boolean : Plain
{
    static constexpr ArgKind wire = ArgKind::Boolean;
    using Value = Bool;
};
struct Rows : Plain
{
    static constexpr ArgKind wire = ArgKind::Packet;
    using Value = Packet;
};
// A key list of a selection, or (isFlag) the flag that says whether it counts.
template <Selects S, bool IsFlag> struct SelectionPart
{
    static constexpr ArgKind wire = ArgKind::Text;
    static constexpr Selects selects = S;
    static constexpr bool isFlag = IsFlag;
    using Value = QString;
};
template <Selects S> using List = SelectionPart<S, false>;
template <Selects S> using Flag = SelectionPart<S, true>;

} // namespace kind

// One argument as a method declares it.
template <class K> struct Arg
{
    const char* description;
    bool isBranch = false;
    const DataSet* packet = nullptr;

    constexpr ArgDecl decl() const
    {
        return {K::wire, description, K::selects, K::isFlag, isBranch, packet};
    }
};

enum class ResultShape
{
    Packet,      // one data packet
    PacketArray, // an array of data packets
    Boolean,
};

inline constexpr int kMaxResultPackets = 3;

struct ResultDecl
{
    ResultShape shape;
    // The data sets the packets fill, in result order (`count` of them).
    std::array<const DataSet*, kMaxResultPackets> sets{};
    int count = 0;
};

// Throws Error (Malformed) naming the method when `result` has not the shape of
// `decl` (array size and kinds of its elements included).
void checkResult(const char* method, const ResultDecl& decl, const Variant& result);

// The kinds of result as types. `Value` is what a client gets back.
struct OnePacket
{
    const DataSet* set;
    using Value = Packet;

    constexpr ResultDecl decl() const { return {ResultShape::Packet, {set}, 1}; }
    static Value read(const char* method, const Variant& result)
    {
        checkResult(method, OnePacket{nullptr}.decl(), result);
        return result.asPacket();
    }
};

// The packets of an array result, each checked as it is taken: a client that
// loads them one after the other keeps what it loaded before a bad element.
template <int N> class PacketArray
{
public:
    PacketArray(const char* method, const Variant& result) : method_(method), result_(result) {}

    // Throws Error (Malformed) naming the method when element `i` is missing or not
    // a packet.
    Packet operator[](int i) const
    {
        if (i >= result_.size() || !result_.at(i).isPacket())
            checkResult(method_, {ResultShape::PacketArray, {}, N}, result_);
        return result_.at(i).asPacket();
    }

private:
    const char* method_;
    Variant result_;
};

template <int N> struct Packets
{
    std::array<const DataSet*, N> sets;
    using Value = PacketArray<N>;

    constexpr ResultDecl decl() const
    {
        ResultDecl s{ResultShape::PacketArray, {}, N};
        for (int i = 0; i < N; ++i)
            s.sets[i] = sets[i];
        return s;
    }
    static Value read(const char* method, const Variant& result)
    {
        if (!result.isArray())
            checkResult(method, ResultDecl{ResultShape::PacketArray, {}, N}, result);
        return Value(method, result);
    }
};

struct Answer
{
    using Value = bool;

    constexpr ResultDecl decl() const { return {ResultShape::Boolean, {}, 0}; }
    static Value read(const char* method, const Variant& result)
    {
        checkResult(method, Answer{}.decl(), result);
        return result.asBool();
    }
};

constexpr OnePacket packet(const DataSet& set)
{
    return {&set};
}
template <class... S> constexpr Packets<int(sizeof...(S))> packets(const S&... sets)
{
    static_assert(sizeof...(S) >= 2 && sizeof...(S) <= kMaxResultPackets);
    return {{&sets...}};
}
constexpr Answer answer()
{
    return {};
}

// A method at run time: what the dispatcher, the checks and the docs read.
struct MethodDecl
{
    const char* name;
    std::span<const ArgDecl> args;
    ResultDecl result;
    bool writes = false;
    bool streams = false;

    QString nameQ() const { return QString::fromLatin1(name); }
    // The position (0-based) of the branch argument, or -1.
    int branchArg() const
    {
        for (std::size_t i = 0; i < args.size(); ++i)
            if (args[i].isBranch)
                return int(i);
        return -1;
    }
};

struct Traits
{
    // Changes the database.
    bool writes = false;
    // Its one list may go out while it is read, to a client that reads
    // streamed replies.
    bool streams = false;
};
inline constexpr Traits reads{};
inline constexpr Traits writes{.writes = true};
inline constexpr Traits streams{.streams = true};

// A method with its argument kinds K… and result R.
template <class R, class... K> struct Method
{
    using Result = R;

    const char* name;
    R result;
    std::array<ArgDecl, sizeof...(K)> args;
    Traits traits;

    MethodDecl decl() const { return {name, args, result.decl(), traits.writes, traits.streams}; }

    // The wire values of a call's arguments, in order.
    QList<Variant> arguments(const typename K::Value&... values) const
    {
        return {wireValue(values)...};
    }
    // The result a call answered, as its kind reads it; throws Error (Malformed)
    // naming the method when it has another shape.
    typename R::Value read(const Variant& reply) const { return R::read(name, reply); }

private:
    static Variant wireValue(const QString& v) { return Variant(v); }
    static Variant wireValue(const QDateTime& v) { return Variant(v); }
    static Variant wireValue(const Bool& v) { return Variant(v.value); }
    static Variant wireValue(const Packet& v) { return Variant(v); }
};

// Declares a method: method("getX", reads, packet(sets::cdsX), arg1, arg2…).
template <class R, class... K>
consteval Method<R, K...> method(const char* name, Traits traits, R result, Arg<K>... args)
{
    if (traits.streams && result.decl().shape != ResultShape::Packet)
        throw "only a method whose result is one packet may stream it";
    return {name, result, {args.decl()...}, traits};
}

// The methods of the remote object, as a list of types the server's
// dispatcher walks at compile time.
template <const auto&... M> struct MethodList
{
    static constexpr std::size_t size = sizeof...(M);
};

} // namespace krt::api
