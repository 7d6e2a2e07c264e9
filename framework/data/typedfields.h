#pragma once

#include "framework/data/field.h"

// Text field; the size is the maximum length in characters (default 20).
// With an EditMask its DisplayText shows the value through the mask.
class TStringField : public TField
{
public:
    TStringField(TDataSet* dataSet, const QString& fieldName, int size = 20);

protected:
    QString formatValue(const QVariant& value, bool forDisplay) const override;
    int defaultDisplayWidth() const override;
};

// Floating-point field with pictures for display ("#,##0.00") and editing.
class TFloatField : public TField
{
public:
    TFloatField(TDataSet* dataSet, const QString& fieldName);

    const QString& DisplayFormat() const { return m_displayFormat; }
    void setDisplayFormat(const QString& picture) { m_displayFormat = picture; }
    const QString& EditFormat() const { return m_editFormat; }
    void setEditFormat(const QString& picture) { m_editFormat = picture; }

protected:
    QString formatValue(const QVariant& value, bool forDisplay) const override;
    int defaultDisplayWidth() const override { return 10; }
    TAlignment defaultAlignment() const override { return taRightJustify; }

private:
    QString m_displayFormat;
    QString m_editFormat;
};

// Whole-number field.
class TIntegerField : public TField
{
public:
    TIntegerField(TDataSet* dataSet, const QString& fieldName);

    const QString& DisplayFormat() const { return m_displayFormat; }
    void setDisplayFormat(const QString& picture) { m_displayFormat = picture; }

protected:
    QString formatValue(const QVariant& value, bool forDisplay) const override;
    int defaultDisplayWidth() const override { return 10; }
    TAlignment defaultAlignment() const override { return taRightJustify; }

private:
    QString m_displayFormat;
};

// Date and time field (wall clock, no time zone). Without a picture it shows
// dd/mm/yyyy, adding hh:mm:ss only when the time is not midnight.
class TDateTimeField : public TField
{
public:
    TDateTimeField(TDataSet* dataSet, const QString& fieldName);

    const QString& DisplayFormat() const { return m_displayFormat; }
    void setDisplayFormat(const QString& picture) { m_displayFormat = picture; }

protected:
    QString formatValue(const QVariant& value, bool forDisplay) const override;
    int defaultDisplayWidth() const override { return 18; }

private:
    QString m_displayFormat;
};

// Boolean field; DisplayValues is "true text;false text" ("Sim;Não" by default).
class TBooleanField : public TField
{
public:
    TBooleanField(TDataSet* dataSet, const QString& fieldName);

    const QString& DisplayValues() const { return m_displayValues; }
    void setDisplayValues(const QString& values) { m_displayValues = values; }

protected:
    QString formatValue(const QVariant& value, bool forDisplay) const override;
    int defaultDisplayWidth() const override { return 5; }
    TAlignment defaultAlignment() const override { return taCenter; }

private:
    QString m_displayValues = QStringLiteral("Sim;Não");
};
