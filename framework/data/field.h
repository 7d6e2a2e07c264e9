#pragma once

#include "framework/data/datalinks.h"
#include "framework/data/datasettypes.h"
#include "framework/wire/packet.h"

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <functional>

class TDataSet;

// One column of a data set, defined in code and owned by its data set:
//   auto* f = ds->addField<TStringField>("CDFILIAL", 4);
//   f->setVisible(false);
// Reading a value reads the data set's active record (through IFieldStore);
// a closed or empty set gives a null value. Data fields are read-only;
// calculated fields are written by the data set's OnCalcFields handler with
// setValue(). A field made with its constructor belongs to no list until the
// data set adopts it (TDataSet::adoptField).
class TField : public IOwnedField
{
public:
    TField(TDataSet* dataSet, const QString& fieldName, krt::FieldType type, int size);
    virtual ~TField();
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    TDataSet* DataSet() const { return m_dataSet; }
    const QString& FieldName() const { return m_fieldName; }
    krt::FieldType DataType() const { return m_type; }
    // Position in the data set's field list; -1 until the set adopts the field.
    int Index() const { return m_index; }
    int Size() const { return m_size; }

    // The label shown in grid titles; the field name when none was set.
    QString DisplayLabel() const;
    void setDisplayLabel(const QString& label) { m_displayLabel = label; }
    // Whether a label was given (DisplayLabel falls back to the field's name).
    bool HasDisplayLabel() const { return !m_displayLabel.isEmpty(); }
    bool Visible() const { return m_visible; }
    void setVisible(bool visible) { m_visible = visible; }
    bool ReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    // Width in characters for grid columns; a type-dependent default when 0.
    int DisplayWidth() const;
    void setDisplayWidth(int width) { m_displayWidth = width; }
    const QString& EditMask() const { return m_editMask; }
    void setEditMask(const QString& mask) { m_editMask = mask; }
    TFieldKind FieldKind() const { return m_kind; }
    // Only while the data set is closed.
    void setFieldKind(TFieldKind kind);
    bool Calculated() const { return m_kind == fkCalculated; }
    TAlignment Alignment() const;
    void setAlignment(TAlignment alignment);

    // Value of the active record: QString, double, QDateTime, bool or qint64
    // by type; a null QVariant when the field has no value.
    QVariant Value() const;
    // Calculated fields only (a data field throws): converts to the field's type.
    void setValue(const QVariant& value);
    bool IsNull() const;

    QString AsString() const;
    double AsFloat() const;
    qint64 AsInteger() const;
    QDateTime AsDateTime() const;
    bool AsBoolean() const;

    // Text for grids and labels (display formats applied, then OnGetText).
    QString DisplayText() const;
    // Text for editing (edit formats applied, then OnGetText).
    QString Text() const;

    // The same, for any record of the open set without moving its cursor.
    QVariant ValueAt(int row) const;
    QString DisplayTextAt(int row) const;

    // Replaces the default text: receives the formatted text by reference and
    // whether it is for display (true) or editing (false).
    std::function<void(TField* sender, QString& text, bool displayText)> OnGetText;

    // The value converted to this field's type; throws EKrtError when it
    // cannot be (used for calculated values and lookups).
    QVariant convertToFieldType(const QVariant& value) const;

protected:
    // Formats a non-null value of this field's type.
    virtual QString formatValue(const QVariant& value, bool forDisplay) const;
    virtual int defaultDisplayWidth() const;
    virtual TAlignment defaultAlignment() const;
    [[noreturn]] void conversionError(const QString& text, const QString& target) const;

private:
    void adoptedAt(int index) override { m_index = index; }
    QString textFor(const QVariant& value, bool forDisplay) const;

    TDataSet* m_dataSet;
    IFieldStore* m_store;
    QString m_fieldName;
    krt::FieldType m_type;
    int m_size;
    int m_index = -1;
    QString m_displayLabel;
    bool m_visible = true;
    bool m_readOnly = false;
    int m_displayWidth = 0;
    QString m_editMask;
    TFieldKind m_kind = fkData;
    int m_alignment = -1; // -1: the type's default
};
