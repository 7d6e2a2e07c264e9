#pragma once

// Data fields defined from the packet that fills the set: the packet's
// definition gives names, types and sizes; the screen adds only how each
// field looks.

#include "framework/data/dataset.h"
#include "framework/wire/packet.h"

#include <QList>
#include <QString>
#include <utility>

namespace krt {

// How a screen presents one data field: the grid's title, whether grids show
// it, and a number's display format.
struct FieldLook
{
    FieldLook(QString name_, QString label_ = {}, bool visible_ = true, QString displayFormat_ = {})
        : name(std::move(name_)), label(std::move(label_)), visible(visible_),
          displayFormat(std::move(displayFormat_))
    {
    }

    QString name;
    QString label;
    bool visible = true;
    QString displayFormat;
};

// Defines the data fields of `dataSet` as a packet carries them (`defs`:
// names, types and sizes, in that order), each presented as the look of the
// same name says; a field without a look has no label and is shown. A look
// naming no field of `defs` throws EKrtError: the screen and the packet no
// longer agree, which then shows when the screen is built, not at a load.
void defineFields(TDataSet& dataSet, const QList<FieldDef>& defs, const QList<FieldLook>& looks);

[[noreturn]] void throwWrongFieldType(const TField& field);

// The field `name` of `dataSet` as an F; throws EKrtError when the set has no
// such field or it is of another type.
template <class F> F* fieldAs(const TDataSet& dataSet, const char* name)
{
    TField* field = dataSet.FieldByName(QString::fromLatin1(name));
    if (auto* typed = dynamic_cast<F*>(field))
        return typed;
    throwWrongFieldType(*field);
}

} // namespace krt
