#include "framework/widgets/dbgrid.h"

#include "framework/data/dataset.h"
#include "framework/data/datasource.h"

#include <QHeaderView>
#include <QKeyEvent>

TDBGrid::TDBGrid(QWidget* parent) : QTableView(parent), m_model(new krt::DataSetModel(this))
{
    setModel(m_model);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setShowGrid(true);
    setAlternatingRowColors(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setVisible(false);
    horizontalHeader()->setHighlightSections(false);
    connect(m_model, &krt::DataSetModel::reloaded, this, [this] {
        applyWidths();
        followDataSet();
    });
}

void TDBGrid::setDataSource(TDataSource* source)
{
    disconnect(m_cursorLink);
    if (source)
        m_cursorLink = connect(source, &TDataSource::currentChanged, this, &TDBGrid::followDataSet);
    m_model->setDataSource(source);
}

TDataSource* TDBGrid::DataSource() const
{
    return m_model->dataSource();
}

void TDBGrid::setColumns(const QList<krt::GridColumn>& columns)
{
    m_model->setColumns(columns);
}

void TDBGrid::addColumn(const QString& fieldName, int width, const QString& title)
{
    QList<krt::GridColumn> cols = m_model->columns();
    cols.append({fieldName, width, title});
    m_model->setColumns(cols);
}

void TDBGrid::setColor(const QColor& color)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Base, color);
    setPalette(pal);
}

void TDBGrid::applyWidths()
{
    const QFontMetrics fm = fontMetrics();
    for (int c = 0; c < m_model->columnCount(); ++c) {
        int width = m_model->columnWidth(c);
        if (width <= 0) {
            // No width given: wide enough for the field's size and its title.
            const TField* f = m_model->fieldAt(c);
            const int chars = f ? qBound(4, f->DisplayWidth(), 40) : 10;
            const QString title =
                m_model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
            width = qMax(chars * fm.averageCharWidth(), fm.horizontalAdvance(title)) + 14;
        }
        setColumnWidth(c, width);
    }
}

void TDBGrid::followDataSet()
{
    TDataSource* src = m_model->dataSource();
    TDataSet* ds = src ? src->DataSet() : nullptr;
    const int row = ds && ds->Active() && !ds->IsEmpty() ? ds->CurrentIndex() : -1;
    if (currentIndex().row() == row)
        return;
    m_syncing = true;
    if (row < 0) {
        selectionModel()->clearCurrentIndex();
        clearSelection();
    } else {
        const int col = qMax(0, currentIndex().column());
        selectionModel()->setCurrentIndex(m_model->index(row, col),
                                          QItemSelectionModel::ClearAndSelect |
                                              QItemSelectionModel::Rows);
        scrollTo(m_model->index(row, col));
    }
    m_syncing = false;
}

void TDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (m_syncing || !current.isValid() || current.row() == previous.row())
        return;
    TDataSource* src = m_model->dataSource();
    TDataSet* ds = src ? src->DataSet() : nullptr;
    if (!ds || !ds->Active() || ds->CurrentIndex() == current.row())
        return;
    const int row = current.row();
    krt::invokeHandler("TDBGrid.Scroll", [ds, row] { ds->MoveTo(row); });
    // The set may have refused or moved elsewhere: show where it really is.
    followDataSet();
}

void TDBGrid::keyPressEvent(QKeyEvent* event)
{
    int key = event->key();
    bool swallowed = false;
    if (OnKeyDown) {
        krt::invokeHandler("OnKeyDown", [&] { OnKeyDown(this, key, event->modifiers()); });
        swallowed = key == 0;
    }
    const QString text = event->text();
    if (!swallowed && OnKeyPress && text.size() == 1 && text.at(0).isPrint()) {
        QChar ch = text.at(0);
        krt::invokeHandler("OnKeyPress", [&] { OnKeyPress(this, ch); });
        swallowed = ch.isNull();
    }
    if (swallowed)
        event->accept();
    else
        QTableView::keyPressEvent(event);
}
