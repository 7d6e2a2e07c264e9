#pragma once

#include "framework/data/datalinks.h"
#include "framework/data/datasettypes.h"
#include "framework/data/typedfields.h"
#include "framework/wire/packet.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

// A read-only, in-memory set of records with a cursor. The content is held as
// a data packet and read in place; fields are defined in code before opening.
//
// Events are plain calls made on the thread that opened the set or moved the
// cursor, so an exception thrown by a handler reaches that caller. Every
// change is complete before the event that announces it runs, so a handler
// that throws leaves the set consistent: BeforeOpen/BeforeClose abort the
// operation; AfterOpen/AfterScroll see it done.
//
// Observers (grids, navigators, data-aware labels) follow the Qt signals;
// data sources attached to the set get the same notices as plain calls
// (IDataSetObserver). The set owns its fields, which read their values
// through it (IFieldStore).
class TDataSet : public QObject, public IFieldStore
{
    Q_OBJECT
public:
    using Event = std::function<void(TDataSet*)>;

    explicit TDataSet(QObject* parent = nullptr);
    ~TDataSet() override;

    // The name used in messages: the object name, or the class name.
    QString Name() const;

    bool Active() const { return m_state != dsInactive; }
    void setActive(bool active);
    TDataSetState State() const { return m_state; }
    // Opens the set: BeforeOpen, the content, AfterOpen, then the first record
    // (AfterScroll only when there is one). Nothing happens when already open.
    void Open();
    // Closes and drops the content: BeforeClose, then AfterClose.
    void Close();

    // A closed set counts as empty.
    bool IsEmpty() const { return RecordCount() == 0; }
    // Changes whenever the content is replaced or dropped: two notices with
    // the same generation are about the same rows.
    quint64 ContentGeneration() const { return m_generation; }
    int RecordCount() const;
    // 1-based number of the current record; 0 when closed or empty.
    int RecNo() const;
    void setRecNo(int recNo) { MoveTo(recNo - 1); }
    // 0-based index of the current record; -1 when closed or empty.
    int CurrentIndex() const { return m_cursor; }

    // Cursor moves. AfterScroll runs when the current record changes.
    void First();
    void Last();
    void Next();
    void Prior();
    // Moves up to `distance` records; returns how many were moved (signed).
    int MoveBy(int distance);
    // Moves to the 0-based record `index`; false when out of range.
    bool MoveTo(int index);
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    // Moves to the first record whose field equals `value`; false if none.
    bool Locate(const QString& fieldName, const QVariant& value, TLocateOptions options = {});

    // Field lookup ignores case. FieldByName throws EKrtError naming the
    // field and the data set; FindField returns nullptr.
    TField* FieldByName(const QString& fieldName) const;
    TField* FindField(const QString& fieldName) const;
    const std::vector<TField*>& Fields() const { return m_fields; }
    int FieldCount() const { return int(m_fields.size()); }

    // Defines a field: creates an F with this set as its first constructor
    // argument and takes it into the set's ownership.
    //   auto* f = ds.addField<TStringField>("CDFILIAL", 4);
    template <class F, class... Args> F* addField(Args&&... args)
    {
        auto field = std::make_unique<F>(this, std::forward<Args>(args)...);
        F* defined = field.get();
        adoptField(std::move(field));
        return defined;
    }
    // Takes a field made for this set into its ownership and returns it.
    // Throws EKrtError (and the field is destroyed) while the set is open,
    // when the name is taken (ignoring case) or the field belongs to another set.
    TField* adoptField(std::unique_ptr<TField> field);

    // Links an observer (not owned) to the set's changes; unlink it before it
    // is destroyed. The set calls dataSetDestroyed on those still linked.
    void addObserver(IDataSetObserver* observer);
    void removeObserver(IDataSetObserver* observer);

    // Shorthands for defining fields.
    TStringField* addStringField(const QString& name, int size = 20, const QString& label = {},
                                 bool visible = true);
    TFloatField* addFloatField(const QString& name, const QString& label = {},
                               const QString& displayFormat = {}, bool visible = true);
    TDateTimeField* addDateTimeField(const QString& name, const QString& label = {},
                                     bool visible = true);
    TBooleanField* addBooleanField(const QString& name, const QString& label = {},
                                   TFieldKind kind = fkData);
    TIntegerField* addIntegerField(const QString& name, const QString& label = {});

    // Values of any record without moving the cursor (grids, pick lists).
    QVariant valueAt(int row, const TField* field) const;
    QString displayTextAt(int row, const TField* field) const;

    Event BeforeOpen;
    Event AfterOpen;
    Event BeforeClose;
    Event AfterClose;
    Event BeforeScroll;
    Event AfterScroll;
    // Runs once per record, the first time that record's calculated fields
    // are needed, with State() == dsCalcFields; it writes them with setValue.
    Event OnCalcFields;

signals:
    void stateChanged();
    // The whole content was replaced (the cursor stands on the first record).
    void dataChanged();
    // The cursor moved to another record.
    void currentChanged();

protected:
    // The content to show when Open() runs (after BeforeOpen). May throw;
    // the set then stays closed.
    virtual krt::Packet fetchContent() = 0;

    // Definitions of the data fields, in field order, for a content packet.
    QList<krt::FieldDef> dataFieldDefs() const;
    // Creates fields matching a packet's columns (for a set defined by its content).
    void defineFieldsFrom(const QList<krt::FieldDef>& defs);
    // Closes when open, then opens with `content` (BeforeOpen included). The
    // caller has checked that `content` carries every data field.
    void reopenWith(const krt::Packet& content);
    // Column of `content` for each data field, matched by name ignoring case;
    // throws EKrtError for a missing field or one of another type.
    std::vector<int> matchColumns(const krt::Packet& content) const;
    const krt::Packet& content() const { return m_content; }
    void checkNotCalculating(const char* operation) const;

private:
    QVariant fieldValue(const TField& field) const override;
    void storeCalculatedValue(const TField& field, const QVariant& value) override;
    QVariant storedValue(int row, const TField* field) const;
    void ensureCalculated(int row) const;
    void installContent(const krt::Packet& content);
    void moveCursor(int row, bool bof, bool eof);
    void setState(TDataSetState state);
    void notifyDataChanged();
    void notifyCurrentChanged();
    void notifyObservers(const std::function<void(IDataSetObserver&)>& notice);

    std::vector<std::unique_ptr<TField>> m_ownedFields;
    std::vector<TField*> m_fields; // the same, for Fields()
    TDataSetState m_state = dsInactive;
    krt::Packet m_content;
    std::vector<int> m_slotOfField; // packet column, or calculated slot, per field
    int m_calcFieldCount = 0;
    mutable std::vector<char> m_calcDone;
    mutable std::vector<std::vector<QVariant>> m_calcValues;
    int m_cursor = -1;
    mutable int m_activeRow = -1; // the record fields read: the cursor, or a row being read
    bool m_bof = true;
    bool m_eof = true;
    quint64 m_generation = 0; // bumped whenever the content is replaced or dropped
    std::vector<IDataSetObserver*> m_observers;
};
