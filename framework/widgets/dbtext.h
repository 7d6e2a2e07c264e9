#pragma once

#include <QLabel>
#include <QPointer>

#include "framework/data/dataset.h"
#include "framework/data/datasource.h"

// Data-aware label: shows the display text of DataField in the current record
// of DataSource's data set (empty when the set is closed or has no such field).
class TDBText : public QLabel
{
    Q_OBJECT
public:
    explicit TDBText(QWidget* parent = nullptr);

    void setDataSource(TDataSource* source);
    TDataSource* DataSource() const { return m_source; }
    void setDataField(const QString& fieldName);
    QString DataField() const { return m_field; }

    // The text shown (the same as text()).
    QString Caption() const { return text(); }

private:
    void refresh();

    QPointer<TDataSource> m_source;
    QString m_field;
    QList<QMetaObject::Connection> m_links;
};
