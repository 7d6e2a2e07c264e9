#pragma once

#include "framework/wire/errors.h"
#include "framework/wire/packet.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <memory>
#include <variant>

namespace krt {

// A value that crosses the wire: a call argument or a call result.
// Unassigned is the state of a fresh variant (nothing was ever put in it);
// Null is an explicit "no value". Asking for the wrong kind throws Error (Malformed)
// with a clear text ("valor não é um pacote de dados").
class Variant
{
public:
    // On-wire codes of the kinds: never renumber them.
    enum class Kind : quint8
    {
        Unassigned = 0,
        Null = 1,
        Boolean = 2,
        Integer = 3,
        Float = 4,
        Text = 5,
        DateTime = 6,
        Packet = 7,
        Array = 8,
    };

    Variant() = default;
    Variant(bool value);
    Variant(int value);
    Variant(qint64 value);
    Variant(long value) : Variant(qint64(value)) {}
    Variant(uint value) : Variant(qint64(value)) {}
    Variant(double value);
    Variant(const QString& value);
    Variant(const char* utf8);
    Variant(const QDateTime& value);
    Variant(const Packet& value);
    Variant(const QList<Variant>& items);

    static Variant null();
    // An array of `count` unassigned variants.
    static Variant array(qsizetype count);

    Kind kind() const;
    static QString kindName(Kind kind);
    QString kindName() const { return kindName(kind()); }

    bool isUnassigned() const { return kind() == Kind::Unassigned; }
    bool isNull() const { return kind() == Kind::Null; }
    // Unassigned or null.
    bool isEmpty() const { return isUnassigned() || isNull(); }
    bool isBool() const { return kind() == Kind::Boolean; }
    bool isInteger() const { return kind() == Kind::Integer; }
    bool isFloat() const { return kind() == Kind::Float; }
    bool isText() const { return kind() == Kind::Text; }
    bool isDateTime() const { return kind() == Kind::DateTime; }
    bool isPacket() const { return kind() == Kind::Packet; }
    bool isArray() const { return kind() == Kind::Array; }

    bool asBool() const;
    qint64 asInteger() const;
    // A float, or an integer widened to a float.
    double asFloat() const;
    QString asString() const;
    QDateTime asDateTime() const;
    Packet asPacket() const;
    QList<Variant> asArray() const;

    // Array access; throws Error (Malformed) when not an array or out of bounds.
    qsizetype size() const;
    const Variant& at(qsizetype index) const;
    void set(qsizetype index, const Variant& value);

    friend bool operator==(const Variant& a, const Variant& b);

private:
    struct NullTag
    {
        friend bool operator==(NullTag, NullTag) { return true; }
    };
    using Items = std::shared_ptr<QList<Variant>>;
    std::variant<std::monostate, NullTag, bool, qint64, double, QString, QDateTime, Packet, Items>
        v_;
};

} // namespace krt
