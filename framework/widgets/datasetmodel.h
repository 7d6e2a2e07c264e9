#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>

#include "framework/data/dataset.h"
#include "framework/data/datasource.h"
class TField;

namespace krt {

// One column of a data-aware grid: a field by name, a width in pixels (0:
// from the field) and a title (empty: the field's label).
struct GridColumn
{
    QString fieldName;
    int width = 0;
    QString title;
};

// Read-only table model over the data set of a data source. With explicit
// columns each shows its field even when the field is hidden; without them
// the visible fields are the columns. Follows the source: content, state and
// data-set changes reset the model.
class DataSetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit DataSetModel(QObject* parent = nullptr);

    void setDataSource(TDataSource* source);
    TDataSource* dataSource() const { return m_source; }
    void setColumns(const QList<GridColumn>& columns);
    const QList<GridColumn>& columns() const { return m_columns; }

    // The field shown in a column (nullptr when the set has no such field).
    TField* fieldAt(int column) const;
    // The width set for a column in pixels; 0 when the grid chooses.
    int columnWidth(int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Rebuilds columns and rows from the source.
    void reload();

signals:
    void reloaded();

private:
    QList<GridColumn> effectiveColumns() const;

    QPointer<TDataSource> m_source;
    QList<GridColumn> m_columns;
    QList<GridColumn> m_shown;
    QList<QMetaObject::Connection> m_links;
};

} // namespace krt
