#include "framework/data/typedfields.h"

#include "framework/data/displayformat.h"
#include "framework/data/masktext.h"

TStringField::TStringField(TDataSet* dataSet, const QString& fieldName, int size)
    : TField(dataSet, fieldName, krt::FieldType::String, size > 0 ? size : 20)
{
}

QString TStringField::formatValue(const QVariant& value, bool forDisplay) const
{
    if (forDisplay && !EditMask().isEmpty())
        return krt::formatMaskText(EditMask(), value.toString());
    return value.toString();
}

int TStringField::defaultDisplayWidth() const
{
    return Size();
}

TFloatField::TFloatField(TDataSet* dataSet, const QString& fieldName)
    : TField(dataSet, fieldName, krt::FieldType::Float, 0)
{
}

QString TFloatField::formatValue(const QVariant& value, bool forDisplay) const
{
    const QString& picture = forDisplay ? m_displayFormat : m_editFormat;
    if (picture.isEmpty())
        return krt::formatFloatGeneral(value.toDouble());
    return krt::formatFloat(value.toDouble(), picture);
}

TIntegerField::TIntegerField(TDataSet* dataSet, const QString& fieldName)
    : TField(dataSet, fieldName, krt::FieldType::Integer, 0)
{
}

QString TIntegerField::formatValue(const QVariant& value, bool forDisplay) const
{
    if (forDisplay && !m_displayFormat.isEmpty())
        return krt::formatFloat(double(value.toLongLong()), m_displayFormat);
    return QString::number(value.toLongLong());
}

TDateTimeField::TDateTimeField(TDataSet* dataSet, const QString& fieldName)
    : TField(dataSet, fieldName, krt::FieldType::DateTime, 0)
{
}

QString TDateTimeField::formatValue(const QVariant& value, bool forDisplay) const
{
    if (forDisplay)
        return krt::formatDateTime(value.toDateTime(), m_displayFormat);
    return krt::formatDateTimeDefault(value.toDateTime());
}

TBooleanField::TBooleanField(TDataSet* dataSet, const QString& fieldName)
    : TField(dataSet, fieldName, krt::FieldType::Boolean, 0)
{
}

QString TBooleanField::formatValue(const QVariant& value, bool) const
{
    const QStringList texts = m_displayValues.split(u';');
    const bool b = value.toBool();
    if (b)
        return texts.value(0);
    return texts.value(1);
}
