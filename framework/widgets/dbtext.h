#pragma once

#include <QLabel>

#include "framework/widgets/datalink.h"

// Data-aware label: shows the display text of DataField in the current record
// of DataSource's data set (empty when the set is closed or has no such field).
class TDBText : public QLabel
{
    Q_OBJECT
public:
    explicit TDBText(QWidget* parent = nullptr);

    void setDataSource(TDataSource* source) { m_link.setSource(source); }
    TDataSource* DataSource() const { return m_link.source(); }
    void setDataField(const QString& fieldName);
    QString DataField() const { return m_field; }

    // The text shown (the same as text()).
    QString Caption() const { return text(); }

private:
    void refresh();

    QString m_field;
    krt::DataLink m_link{this, [this] { refresh(); }};
};
