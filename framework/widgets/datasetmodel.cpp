#include "framework/widgets/datasetmodel.h"

#include "framework/data/dataset.h"
#include "framework/data/datasource.h"

namespace krt {

DataSetModel::DataSetModel(QObject* parent) : QAbstractTableModel(parent) {}

void DataSetModel::setDataSource(TDataSource* source)
{
    for (const auto& link : std::as_const(m_links))
        disconnect(link);
    m_links.clear();
    m_source = source;
    if (source) {
        m_links << connect(source, &TDataSource::stateChanged, this, &DataSetModel::reload)
                << connect(source, &TDataSource::dataChanged, this, &DataSetModel::reload)
                << connect(source, &TDataSource::dataSetChanged, this, &DataSetModel::reload)
                << connect(source, &QObject::destroyed, this, &DataSetModel::reload);
    }
    reload();
}

void DataSetModel::setColumns(const QList<GridColumn>& columns)
{
    m_columns = columns;
    reload();
}

QList<GridColumn> DataSetModel::effectiveColumns() const
{
    if (!m_columns.isEmpty())
        return m_columns;
    QList<GridColumn> out;
    TDataSet* ds = m_source ? m_source->DataSet() : nullptr;
    if (!ds)
        return out;
    for (TField* f : ds->Fields()) {
        if (f->Visible())
            out.append({f->FieldName(), 0, QString()});
    }
    return out;
}

void DataSetModel::reload()
{
    beginResetModel();
    m_shown = effectiveColumns();
    endResetModel();
    emit reloaded();
}

TField* DataSetModel::fieldAt(int column) const
{
    TDataSet* ds = m_source ? m_source->DataSet() : nullptr;
    if (!ds || column < 0 || column >= m_shown.size())
        return nullptr;
    return ds->FindField(m_shown.at(column).fieldName);
}

int DataSetModel::columnWidth(int column) const
{
    if (column < 0 || column >= m_shown.size())
        return 0;
    return qMax(0, m_shown.at(column).width);
}

int DataSetModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    TDataSet* ds = m_source ? m_source->DataSet() : nullptr;
    return ds && ds->Active() ? ds->RecordCount() : 0;
}

int DataSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

QVariant DataSetModel::data(const QModelIndex& index, int role) const
{
    const TField* f = fieldAt(index.column());
    if (!f || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole) {
        try {
            return f->DisplayTextAt(index.row());
        } catch (...) {
            return QString(); // painting must never throw
        }
    }
    if (role == Qt::TextAlignmentRole) {
        switch (f->Alignment()) {
        case taRightJustify:
            return int(Qt::AlignRight | Qt::AlignVCenter);
        case taCenter:
            return int(Qt::AlignCenter);
        case taLeftJustify:
            break;
        }
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_shown.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    const GridColumn& c = m_shown.at(section);
    if (!c.title.isEmpty())
        return c.title;
    const TField* f = fieldAt(section);
    return f ? f->DisplayLabel() : c.fieldName;
}

Qt::ItemFlags DataSetModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace krt
