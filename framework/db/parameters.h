#pragma once

#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

class QObject;

// One named parameter of a query. Its value is bound exactly as set: a null
// QVariant binds SQL NULL, an empty text binds an empty text.
class TParameter
{
public:
    explicit TParameter(const QString& name) : m_name(name) {}

    const QString& Name() const { return m_name; }
    const QVariant& Value() const { return m_value; }
    void setValue(const QVariant& value) { m_value = value; }
    // Back to NULL.
    void Clear() { m_value = QVariant(); }
    bool IsNull() const { return m_value.isNull(); }
    QString AsString() const { return m_value.toString(); }
    void setAsString(const QString& text) { m_value = text; }

private:
    QString m_name;
    QVariant m_value;
};

// The parameters a query declares, found by name ignoring case.
class TParameters
{
public:
    // `owner` names the query in errors.
    explicit TParameters(const QObject* owner = nullptr) : m_owner(owner) {}

    // Declares a parameter (null at first); an existing name gives the existing one.
    TParameter* AddParameter(const QString& name);
    TParameter* FindParam(const QString& name) const;
    // Throws EKrtError naming the parameter and the query.
    TParameter* ParamByName(const QString& name) const;
    int Count() const { return int(m_items.size()); }
    TParameter* Items(int index) const { return m_items.at(size_t(index)).get(); }

private:
    const QObject* m_owner;
    std::vector<std::unique_ptr<TParameter>> m_items;
};
