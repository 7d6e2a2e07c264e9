#include "framework/data/fieldlayout.h"

#include "framework/core/errors.h"

#include <QSet>

namespace krt {

void defineFields(TDataSet& dataSet, const QList<FieldDef>& defs, const QList<FieldLook>& looks)
{
    QSet<QString> defined;
    for (const FieldDef& def : defs)
        defined.insert(QString::fromUtf8(def.name));
    for (const FieldLook& look : looks)
        if (!defined.contains(look.name))
            throw EKrtError(QStringLiteral("O conjunto de dados '%1' não recebe o campo %2.")
                                .arg(dataSet.objectName(), look.name));

    for (const FieldDef& def : defs) {
        const QString name = QString::fromUtf8(def.name);
        FieldLook look{name, {}, true, {}};
        for (const FieldLook& l : looks)
            if (l.name == name)
                look = l;
        switch (def.type) {
        case FieldType::String:
            dataSet.addStringField(name, def.size, look.label, look.visible);
            break;
        case FieldType::Float:
            dataSet.addFloatField(name, look.label, look.displayFormat, look.visible);
            break;
        case FieldType::DateTime:
            dataSet.addDateTimeField(name, look.label, look.visible);
            break;
        case FieldType::Boolean:
            dataSet.addBooleanField(name, look.label)->setVisible(look.visible);
            break;
        case FieldType::Integer:
            dataSet.addIntegerField(name, look.label)->setVisible(look.visible);
            break;
        }
    }
}

void throwWrongFieldType(const TField& field)
{
    throw EKrtError(
        QStringLiteral("O campo %1 de '%2' não é do tipo que a tela espera.")
            .arg(field.FieldName(), field.DataSet() ? field.DataSet()->objectName() : QString()));
}

} // namespace krt
