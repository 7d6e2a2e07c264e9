#include "framework/db/parameters.h"

#include "framework/core/errors.h"

#include <QObject>

TParameter* TParameters::AddParameter(const QString& name)
{
    if (TParameter* existing = FindParam(name))
        return existing;
    m_items.push_back(std::make_unique<TParameter>(name));
    return m_items.back().get();
}

TParameter* TParameters::FindParam(const QString& name) const
{
    for (const auto& p : m_items)
        if (p->Name().compare(name, Qt::CaseInsensitive) == 0)
            return p.get();
    return nullptr;
}

TParameter* TParameters::ParamByName(const QString& name) const
{
    if (TParameter* p = FindParam(name))
        return p;
    throw EKrtError(QStringLiteral("Parâmetro '%1' não encontrado na consulta '%2'.")
                        .arg(name, m_owner ? m_owner->objectName() : QString()));
}
