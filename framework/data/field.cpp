#include "framework/data/field.h"

#include "framework/core/errors.h"
#include "framework/data/dataset.h"
#include "framework/data/displayformat.h"

#include <cmath>

TField::TField(TDataSet* dataSet, const QString& fieldName, krt::FieldType type, int size)
    : m_dataSet(dataSet), m_store(dataSet), m_fieldName(fieldName), m_type(type), m_size(size)
{
}

TField::~TField() = default;

QString TField::DisplayLabel() const
{
    return m_displayLabel.isEmpty() ? m_fieldName : m_displayLabel;
}

int TField::DisplayWidth() const
{
    return m_displayWidth > 0 ? m_displayWidth : defaultDisplayWidth();
}

void TField::setFieldKind(TFieldKind kind)
{
    if (m_dataSet && m_dataSet->Active())
        throw EKrtError(
            QStringLiteral("Não é possível mudar o tipo do campo '%1' com o conjunto de "
                           "dados '%2' aberto.")
                .arg(m_fieldName, m_dataSet->Name()));
    m_kind = kind;
}

TAlignment TField::Alignment() const
{
    return m_alignment < 0 ? defaultAlignment() : TAlignment(m_alignment);
}

void TField::setAlignment(TAlignment alignment)
{
    m_alignment = int(alignment);
}

QVariant TField::Value() const
{
    return m_store ? m_store->fieldValue(*this) : QVariant();
}

void TField::setValue(const QVariant& value)
{
    if (m_kind != fkCalculated || !m_dataSet)
        throw EKrtError(QStringLiteral("O campo '%1' do conjunto de dados '%2' é somente leitura.")
                            .arg(m_fieldName, m_dataSet ? m_dataSet->Name() : QString()));
    m_store->storeCalculatedValue(*this, convertToFieldType(value));
}

bool TField::IsNull() const
{
    return Value().isNull();
}

QString TField::AsString() const
{
    const QVariant v = Value();
    if (v.isNull())
        return QString();
    if (m_type == krt::FieldType::String)
        return v.toString();
    return formatValue(v, false);
}

[[noreturn]] void TField::conversionError(const QString& text, const QString& target) const
{
    throw EKrtError(QStringLiteral("'%1' não é um valor %2 válido para o campo '%3'.")
                        .arg(text, target, m_fieldName));
}

double TField::AsFloat() const
{
    const QVariant v = Value();
    if (v.isNull())
        return 0.0;
    switch (m_type) {
    case krt::FieldType::Float:
    case krt::FieldType::Integer:
        return v.toDouble();
    case krt::FieldType::String: {
        bool ok = false;
        const double d = krt::parseLocalFloat(v.toString(), &ok);
        if (!ok)
            conversionError(v.toString(), QStringLiteral("numérico"));
        return d;
    }
    default:
        conversionError(AsString(), QStringLiteral("numérico"));
    }
}

qint64 TField::AsInteger() const
{
    const QVariant v = Value();
    if (v.isNull())
        return 0;
    switch (m_type) {
    case krt::FieldType::Integer:
        return v.toLongLong();
    case krt::FieldType::Float:
        return qint64(std::llround(v.toDouble()));
    case krt::FieldType::Boolean:
        return v.toBool() ? 1 : 0;
    case krt::FieldType::String: {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        if (!ok)
            conversionError(v.toString(), QStringLiteral("inteiro"));
        return n;
    }
    default:
        conversionError(AsString(), QStringLiteral("inteiro"));
    }
}

QDateTime TField::AsDateTime() const
{
    const QVariant v = Value();
    if (v.isNull())
        return QDateTime();
    if (m_type == krt::FieldType::DateTime)
        return v.toDateTime();
    if (m_type == krt::FieldType::String) {
        const QDateTime dt = krt::parseLocalDateTime(v.toString());
        if (!dt.isValid())
            conversionError(v.toString(), QStringLiteral("de data"));
        return dt;
    }
    conversionError(AsString(), QStringLiteral("de data"));
}

namespace {

// Texts that people and servers use for yes and no.
int readBoolean(const QString& text)
{
    const QString t = text.trimmed().toUpper();
    static const QStringList yes = {"S", "SIM", "T", "TRUE", "Y", "YES", "1"};
    static const QStringList no = {"N", "NÃO", "NAO", "F", "FALSE", "NO", "0"};
    if (yes.contains(t))
        return 1;
    if (no.contains(t))
        return 0;
    return -1;
}

} // namespace

bool TField::AsBoolean() const
{
    const QVariant v = Value();
    if (v.isNull())
        return false;
    switch (m_type) {
    case krt::FieldType::Boolean:
        return v.toBool();
    case krt::FieldType::Integer:
        return v.toLongLong() != 0;
    case krt::FieldType::String: {
        const int b = readBoolean(v.toString());
        if (b < 0)
            conversionError(v.toString(), QStringLiteral("lógico"));
        return b == 1;
    }
    default:
        conversionError(AsString(), QStringLiteral("lógico"));
    }
}

QString TField::textFor(const QVariant& value, bool forDisplay) const
{
    QString text = value.isNull() ? QString() : formatValue(value, forDisplay);
    if (OnGetText)
        OnGetText(const_cast<TField*>(this), text, forDisplay);
    return text;
}

QString TField::DisplayText() const
{
    return textFor(Value(), true);
}

QString TField::Text() const
{
    return textFor(Value(), false);
}

QVariant TField::ValueAt(int row) const
{
    return m_dataSet ? m_dataSet->valueAt(row, this) : QVariant();
}

QString TField::DisplayTextAt(int row) const
{
    return m_dataSet ? m_dataSet->displayTextAt(row, this) : QString();
}

QVariant TField::convertToFieldType(const QVariant& value) const
{
    if (value.isNull())
        return QVariant();
    const QString asText = value.toString();
    switch (m_type) {
    case krt::FieldType::String:
        return asText;
    case krt::FieldType::Float: {
        bool ok = false;
        const double d = value.typeId() == QMetaType::QString ? krt::parseLocalFloat(asText, &ok)
                                                              : value.toDouble(&ok);
        if (!ok)
            conversionError(asText, QStringLiteral("numérico"));
        return d;
    }
    case krt::FieldType::Integer: {
        bool ok = false;
        const qint64 n = value.toLongLong(&ok);
        if (!ok)
            conversionError(asText, QStringLiteral("inteiro"));
        return n;
    }
    case krt::FieldType::DateTime: {
        QDateTime dt = value.typeId() == QMetaType::QString ? krt::parseLocalDateTime(asText)
                                                            : value.toDateTime();
        if (!dt.isValid())
            conversionError(asText, QStringLiteral("de data"));
        return dt;
    }
    case krt::FieldType::Boolean: {
        if (value.typeId() == QMetaType::Bool)
            return value.toBool();
        const int b = readBoolean(asText);
        if (b < 0)
            conversionError(asText, QStringLiteral("lógico"));
        return b == 1;
    }
    }
    return QVariant();
}

QString TField::formatValue(const QVariant& value, bool) const
{
    return value.toString();
}

int TField::defaultDisplayWidth() const
{
    return qMax(m_size, 10);
}

TAlignment TField::defaultAlignment() const
{
    return taLeftJustify;
}
