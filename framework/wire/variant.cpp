#include "framework/wire/variant.h"

namespace krt {

Variant::Variant(bool value) : v_(value) {}
Variant::Variant(int value) : v_(qint64(value)) {}
Variant::Variant(qint64 value) : v_(value) {}
Variant::Variant(double value) : v_(value) {}
Variant::Variant(const QString& value) : v_(value) {}
Variant::Variant(const char* utf8) : v_(QString::fromUtf8(utf8)) {}
Variant::Variant(const QDateTime& value)
{
    // An invalid date-time carries no value.
    if (value.isValid())
        v_ = value;
    else
        v_ = NullTag{};
}
Variant::Variant(const Packet& value) : v_(value) {}
Variant::Variant(const QList<Variant>& items) : v_(std::make_shared<QList<Variant>>(items)) {}

Variant Variant::null()
{
    Variant v;
    v.v_ = NullTag{};
    return v;
}

Variant Variant::array(qsizetype count)
{
    return Variant(QList<Variant>(qMax<qsizetype>(count, 0)));
}

Variant::Kind Variant::kind() const
{
    switch (v_.index()) {
    case 0:
        return Kind::Unassigned;
    case 1:
        return Kind::Null;
    case 2:
        return Kind::Boolean;
    case 3:
        return Kind::Integer;
    case 4:
        return Kind::Float;
    case 5:
        return Kind::Text;
    case 6:
        return Kind::DateTime;
    case 7:
        return Kind::Packet;
    default:
        return Kind::Array;
    }
}

QString Variant::kindName(Kind kind)
{
    switch (kind) {
    case Kind::Unassigned:
        return QStringLiteral("não atribuído");
    case Kind::Null:
        return QStringLiteral("nulo");
    case Kind::Boolean:
        return QStringLiteral("lógico");
    case Kind::Integer:
        return QStringLiteral("inteiro");
    case Kind::Float:
        return QStringLiteral("número");
    case Kind::Text:
        return QStringLiteral("texto");
    case Kind::DateTime:
        return QStringLiteral("data e hora");
    case Kind::Packet:
        return QStringLiteral("pacote de dados");
    case Kind::Array:
        return QStringLiteral("vetor");
    }
    return QStringLiteral("desconhecido");
}

namespace {

[[noreturn]] void wrongKind(const Variant& v, const char* wanted)
{
    throw Error(
        ErrorCode::Malformed,
        QStringLiteral("valor não é %1 (é %2).").arg(QString::fromUtf8(wanted), v.kindName()));
}

} // namespace

bool Variant::asBool() const
{
    if (const bool* b = std::get_if<bool>(&v_))
        return *b;
    wrongKind(*this, "um lógico");
}

qint64 Variant::asInteger() const
{
    if (const qint64* i = std::get_if<qint64>(&v_))
        return *i;
    wrongKind(*this, "um inteiro");
}

double Variant::asFloat() const
{
    if (const double* d = std::get_if<double>(&v_))
        return *d;
    if (const qint64* i = std::get_if<qint64>(&v_))
        return double(*i);
    wrongKind(*this, "um número");
}

QString Variant::asString() const
{
    if (const QString* s = std::get_if<QString>(&v_))
        return *s;
    wrongKind(*this, "um texto");
}

QDateTime Variant::asDateTime() const
{
    if (const QDateTime* d = std::get_if<QDateTime>(&v_))
        return *d;
    wrongKind(*this, "uma data");
}

Packet Variant::asPacket() const
{
    if (const Packet* p = std::get_if<Packet>(&v_))
        return *p;
    wrongKind(*this, "um pacote de dados");
}

QList<Variant> Variant::asArray() const
{
    if (const Items* items = std::get_if<Items>(&v_))
        return **items;
    wrongKind(*this, "um vetor");
}

qsizetype Variant::size() const
{
    if (const Items* items = std::get_if<Items>(&v_))
        return (*items)->size();
    wrongKind(*this, "um vetor");
}

const Variant& Variant::at(qsizetype index) const
{
    const Items* items = std::get_if<Items>(&v_);
    if (!items)
        wrongKind(*this, "um vetor");
    if (index < 0 || index >= (*items)->size())
        throw Error(ErrorCode::Malformed, QStringLiteral("índice %1 fora do vetor (0 a %2).")
                                              .arg(index)
                                              .arg((*items)->size() - 1));
    return (**items)[index];
}

void Variant::set(qsizetype index, const Variant& value)
{
    at(index); // checks kind and bounds
    Items& items = std::get<Items>(v_);
    if (items.use_count() > 1) // copies of a variant never share changes
        items = std::make_shared<QList<Variant>>(*items);
    (*items)[index] = value;
}

bool operator==(const Variant& a, const Variant& b)
{
    if (a.v_.index() != b.v_.index())
        return false;
    if (const auto* x = std::get_if<Variant::Items>(&a.v_))
        return **x == **std::get_if<Variant::Items>(&b.v_);
    return a.v_ == b.v_;
}

} // namespace krt
