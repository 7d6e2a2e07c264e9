#include "api/packetfields.h"

#include "api/methodtable.h"

#include <QHash>

namespace krt::api {

namespace {

QList<FieldDef> defsOf(const DataSet& set)
{
    QList<FieldDef> defs;
    for (const FieldDecl& f : set.decls)
        defs.append(FieldDef{f.name, f.type, f.size});
    return defs;
}

// Every data set a method sends or takes, by name.
QHash<QString, QList<FieldDef>> buildTable()
{
    QHash<QString, QList<FieldDef>> t;
    auto add = [&t](const DataSet* set) {
        if (set)
            t.insert(QString::fromLatin1(set->name), defsOf(*set));
    };
    for (const MethodDecl& m : methods()) {
        for (int i = 0; i < m.result.count; ++i)
            add(m.result.sets[size_t(i)]);
        for (const ArgDecl& a : m.args)
            add(a.packet);
    }
    return t;
}

const QHash<QString, QList<FieldDef>>& table()
{
    static const QHash<QString, QList<FieldDef>> t = buildTable();
    return t;
}

} // namespace

const QList<FieldDef>& DataSet::fields() const
{
    return packetFields(QString::fromLatin1(name));
}

const QList<FieldDef>& packetFields(const QString& dataSet)
{
    const auto it = table().constFind(dataSet);
    if (it == table().constEnd())
        throw Error(ErrorCode::Malformed,
                    QStringLiteral("Conjunto de dados desconhecido: %1.").arg(dataSet));
    return it.value();
}

QStringList packetDataSets()
{
    QStringList names = table().keys();
    names.sort();
    return names;
}

} // namespace krt::api
