#include "framework/widgets/dbgrid.h"

#include "framework/data/dataset.h"
#include "framework/data/datasource.h"
#include "framework/widgets/textwidths.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QSet>
#include <QStyle>

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
        if (currentContent() != m_fitted)
            applyWidths();
        followDataSet();
    });
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int newWidth) {
                if (m_applyingWidths)
                    return;
                if (const TField* f = m_model->fieldAt(column))
                    m_userWidths.insert(f->FieldName(), newWidth);
            });
}

TDBGrid::Fitted TDBGrid::currentContent() const
{
    const TDataSource* src = m_model->dataSource();
    const TDataSet* ds = src ? src->DataSet() : nullptr;
    return ds ? Fitted{ds, ds->ContentGeneration()} : Fitted{};
}

void TDBGrid::setDataSource(TDataSource* source)
{
    m_fitted = {};
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
    m_fitted = {};
    m_model->setColumns(columns);
}

void TDBGrid::addColumn(const QString& fieldName, int width, const QString& title)
{
    QList<krt::GridColumn> cols = m_model->columns();
    cols.append({fieldName, width, title});
    setColumns(cols);
}

void TDBGrid::setColor(const QColor& color)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Base, color);
    setPalette(pal);
}

namespace {

// Rows measured for a column's width: every row of a list up to this size; a
// longer list is measured on as many rows spread over it, so that it costs
// no more than a list of this size.
constexpr int kMeasuredRows = 1024;

} // namespace

int TDBGrid::fittingWidth(int column) const
{
    const QFontMetrics fm = fontMetrics();
    const QFontMetrics headerFm = horizontalHeader()->fontMetrics();
    // Room for the cell's and the header's margins and the header's sort mark.
    const int cellMargin =
        2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 8;
    const int headerMargin =
        2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, horizontalHeader()) + 8;
    const QString title = m_model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    int width = headerFm.horizontalAdvance(title) + headerMargin;

    const TField* f = m_model->fieldAt(column);
    if (m_model->columnWidth(column) <= 0) {
        // No width given: wide enough for the field's size.
        const int chars = f ? qBound(4, f->DisplayWidth(), 40) : 10;
        width = qMax(width, chars * fm.averageCharWidth() + cellMargin);
    }
    const int rows = m_model->rowCount();
    if (f && rows > 0) {
        const int step = rows <= kMeasuredRows ? 1 : (rows + kMeasuredRows - 1) / kMeasuredRows;
        // Codes, days and states repeat down a column: each text measured once.
        QSet<QString> measured;
        TextWidths widths(font());
        for (int r = 0; r < rows; r += step) {
            try {
                const QString text = f->DisplayTextAt(r);
                if (!measured.contains(text)) {
                    measured.insert(text);
                    width = qMax(width, widths.of(text) + cellMargin);
                }
            } catch (...) {
                // A value that cannot be shown is painted empty: no width of its own.
            }
        }
    }
    return width;
}

void TDBGrid::applyWidths()
{
    m_fitted = currentContent();
    // The given width is the least a column gets: it grows to show its title
    // and the values loaded. A width the user set by hand is kept (never below
    // the given one) for the next lists too.
    m_applyingWidths = true;
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const TField* f = m_model->fieldAt(c);
        const QString field = f ? f->FieldName() : QString();
        int width = qMax(m_model->columnWidth(c), fittingWidth(c));
        if (m_userWidths.contains(field))
            width = qMax(m_userWidths.value(field), m_model->columnWidth(c));
        setColumnWidth(c, width);
    }
    m_applyingWidths = false;
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
