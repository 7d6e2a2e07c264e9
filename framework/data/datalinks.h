#pragma once

#include <QVariant>

class TField;

// The small interfaces through which the data classes talk: a data set owns
// its fields and tells its data sources what changed; a field reads and
// writes its values through the data set that owns it. Each side sees only
// these calls, not the other's members.

// What a field asks of the data set that owns it, for the record being read
// (the cursor, or the row a grid or a pick list is reading).
class IFieldStore
{
public:
    // The field's value in that record; null when there is none.
    virtual QVariant fieldValue(const TField& field) const = 0;
    // Writes a calculated field's value in that record (OnCalcFields only);
    // throws EKrtError when there is no record.
    virtual void storeCalculatedValue(const TField& field, const QVariant& value) = 0;

protected:
    ~IFieldStore() = default;
};

// What a data set tells a field it takes into its ownership.
class IOwnedField
{
public:
    // The field's position in the data set's field list.
    virtual void adoptedAt(int index) = 0;

protected:
    ~IOwnedField() = default;
};

// What a data set tells the observers linked to it (data sources). Calls are
// made while the set changes, so an exception from an observer reaches the
// code that opened, loaded or moved the set.
class IDataSetObserver
{
public:
    // Opened, closed, re-opened by a load.
    virtual void dataSetStateChanged() = 0;
    // The content was replaced (cursorMoved false) or the cursor moved to
    // another record (true).
    virtual void dataSetContentChanged(bool cursorMoved) = 0;
    // The data set is being destroyed: the observer must forget it.
    virtual void dataSetDestroyed() = 0;

protected:
    ~IDataSetObserver() = default;
};
