#include "framework/widgets/accessibility.h"
#include "framework/widgets/lineeditaccessible.h"
#include "framework/widgets/tabbaraccessible.h"

#include <QAbstractItemModel>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>
#include <QWindow>

namespace krt {

namespace {

// How a table's children are numbered, the way the view numbers them in its
// focus and selection events: a header row and a header column count only
// while that header is visible; the header row comes first, then row by row.
struct Layout
{
    const QAbstractItemModel* model = nullptr;
    QModelIndex root;
    int rows = 0;
    int columns = 0;
    int headerRow = 0;
    int headerColumn = 0;

    int width() const { return columns + headerColumn; }
    int childCount() const { return (rows + headerRow) * width(); }
    int indexOf(int row, int column) const
    {
        return (row + headerRow) * width() + column + headerColumn;
    }
    // Row and column of a child; -1 stands for the header row or column.
    int rowOf(int index) const { return index / width() - headerRow; }
    int columnOf(int index) const { return index % width() - headerColumn; }
    bool sameShape(const Layout& other) const
    {
        return model == other.model && root == other.root && columns == other.columns &&
               headerRow == other.headerRow && headerColumn == other.headerColumn;
    }
};

// Deletes a cell or header interface once the event loop runs again: a
// screen reader's request may be running on it (a cell's toggle that makes
// its own grid reload), and the bridge may still ask for it by its id, which
// a retired item answers as invalid or as its old self, never as freed memory.
void retire(QAccessible::Id id)
{
    if (!id || !QCoreApplication::instance())
        return; // the process is ending: the cache goes with it
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [id] { QAccessible::deleteAccessibleInterface(id); },
        Qt::QueuedConnection);
}

class TableAccessible;

// A child of a table: a cell or a header. It has no object of its own.
class Item : public QAccessibleInterface
{
public:
    explicit Item(QTableView* view) : m_view(view) {}

    // The view, while it is one: checked the way that stays defined while
    // the view is being destroyed.
    QTableView* view() const { return qobject_cast<QTableView*>(m_view.data()); }

    // Whether this item is still child `index` of the table laid out as `layout`.
    virtual bool isAt(int index, const Layout& layout) const = 0;

    QObject* object() const override { return nullptr; }
    QWindow* window() const override
    {
        QTableView* v = view();
        return v ? v->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override
    {
        QTableView* v = view();
        return v ? QAccessible::queryAccessibleInterface(v) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}

protected:
    TableAccessible* tableAccessible() const;

private:
    QPointer<QObject> m_view;
};

class TableAccessible : public QAccessibleWidget, public QAccessibleTableInterface
{
public:
    explicit TableAccessible(QTableView* view) : QAccessibleWidget(view, QAccessible::Table) {}
    ~TableAccessible() override
    {
        retireAll();
        retire(m_missing);
    }

    // The view while it is valid and still one (not half destroyed).
    QTableView* view() const { return isValid() ? qobject_cast<QTableView*>(object()) : nullptr; }

    // The layout now; children made for another shape are dropped first.
    Layout current() const
    {
        Layout l;
        QTableView* v = view();
        if (v && v->model()) {
            l.model = v->model();
            l.root = v->rootIndex();
            l.rows = l.model->rowCount(l.root);
            l.columns = l.model->columnCount(l.root);
            l.headerRow = v->horizontalHeader()->isVisible() ? 1 : 0;
            l.headerColumn = v->verticalHeader()->isVisible() ? 1 : 0;
        }
        if (!l.sameShape(m_shape)) {
            retireAll();
            m_shape = l;
        }
        return l;
    }

    // The header item of a column or a row; none while that header is hidden.
    QAccessibleInterface* headerItem(Qt::Orientation orientation, int section) const
    {
        const Layout l = current();
        if (orientation == Qt::Horizontal)
            return l.headerRow && section >= 0 && section < l.columns
                       ? child(l.indexOf(-1, section))
                       : nullptr;
        return l.headerColumn && section >= 0 && section < l.rows ? child(l.indexOf(section, -1))
                                                                  : nullptr;
    }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    int childCount() const override { return current().childCount(); }

    QAccessibleInterface* child(int index) const override
    {
        const Layout l = current();
        if (index < 0 || index >= l.childCount())
            return nullptr;
        if (const QAccessible::Id id = m_ids.value(index)) {
            auto* item = static_cast<Item*>(QAccessible::accessibleInterface(id));
            if (item && item->isAt(index, l))
                return item;
            forget(index); // the rows moved or were reloaded under it
        }
        Item* item = create(index, l);
        if (!item)
            return nullptr;
        m_ids.insert(index, QAccessible::registerAccessibleInterface(item));
        m_indexes.insert(item, index);
        return item;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child)
            return -1;
        const Layout l = current();
        const auto it = m_indexes.constFind(child);
        return it != m_indexes.cend() && static_cast<const Item*>(child)->isAt(*it, l) ? *it : -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        QTableView* v = view();
        if (!v || !v->model())
            return nullptr;
        const QPoint global(x, y);
        const QPoint inView = v->viewport()->mapFromGlobal(global);
        if (v->viewport()->rect().contains(inView)) {
            const QModelIndex index = v->indexAt(inView);
            return index.isValid() ? cellAt(index.row(), index.column()) : nullptr;
        }
        for (QHeaderView* header : {v->horizontalHeader(), v->verticalHeader()}) {
            const QPoint inHeader = header->viewport()->mapFromGlobal(global);
            if (header->isVisible() && header->viewport()->rect().contains(inHeader))
                return headerItem(header->orientation(), header->logicalIndexAt(inHeader));
        }
        return nullptr;
    }

    QAccessibleInterface* focusChild() const override
    {
        QTableView* v = view();
        const QModelIndex current = v ? v->currentIndex() : QModelIndex();
        return current.isValid() ? cellAt(current.row(), current.column()) : nullptr;
    }

    // Table interface.

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }

    QAccessibleInterface* cellAt(int row, int column) const override
    {
        const Layout l = current();
        if (row >= 0 && column >= 0 && row < l.rows && column < l.columns) {
            if (QAccessibleInterface* cell = child(l.indexOf(row, column)))
                return cell;
        }
        return missingCell();
    }

    int selectedCellCount() const override
    {
        QItemSelectionModel* s = selection();
        return s ? int(s->selectedIndexes().size()) : 0;
    }

    QList<QAccessibleInterface*> selectedCells() const override
    {
        QList<QAccessibleInterface*> cells;
        if (QItemSelectionModel* s = selection()) {
            for (const QModelIndex& index : s->selectedIndexes())
                cells.append(cellAt(index.row(), index.column()));
        }
        return cells;
    }

    QString columnDescription(int column) const override
    {
        const Layout l = current();
        return l.model ? l.model->headerData(column, Qt::Horizontal).toString() : QString();
    }

    QString rowDescription(int row) const override
    {
        const Layout l = current();
        return l.model ? l.model->headerData(row, Qt::Vertical).toString() : QString();
    }

    int selectedColumnCount() const override { return int(selectedColumns().size()); }
    int selectedRowCount() const override { return int(selectedRows().size()); }
    int columnCount() const override { return current().columns; }
    int rowCount() const override { return current().rows; }

    QList<int> selectedColumns() const override
    {
        QList<int> columns;
        if (QItemSelectionModel* s = selection()) {
            for (const QModelIndex& index : s->selectedColumns())
                columns.append(index.column());
        }
        return columns;
    }

    QList<int> selectedRows() const override
    {
        QList<int> rows;
        if (QItemSelectionModel* s = selection()) {
            for (const QModelIndex& index : s->selectedRows())
                rows.append(index.row());
        }
        return rows;
    }

    bool isColumnSelected(int column) const override
    {
        QItemSelectionModel* s = selection();
        return s && s->isColumnSelected(column, view()->rootIndex());
    }

    bool isRowSelected(int row) const override
    {
        QItemSelectionModel* s = selection();
        return s && s->isRowSelected(row, view()->rootIndex());
    }

    bool selectRow(int row) override { return select(row, 0, QItemSelectionModel::Rows, true); }
    bool selectColumn(int column) override
    {
        return select(0, column, QItemSelectionModel::Columns, true);
    }
    bool unselectRow(int row) override { return select(row, 0, QItemSelectionModel::Rows, false); }
    bool unselectColumn(int column) override
    {
        return select(0, column, QItemSelectionModel::Columns, false);
    }

    void modelChange(QAccessibleTableModelChangeEvent* event) override
    {
        // Changed values keep their cells; any other change renumbers them.
        if (event->modelChangeType() != QAccessibleTableModelChangeEvent::DataChanged)
            retireAll();
    }

private:
    QItemSelectionModel* selection() const
    {
        QTableView* v = view();
        return v && v->model() ? v->selectionModel() : nullptr;
    }

    // The answer for a cell outside the model: an invalid cell, so that a
    // caller that does not expect "no cell" reads no position, no extent and
    // no selection instead of following a null pointer.
    QAccessibleInterface* missingCell() const;

    Item* create(int index, const Layout& l) const;

    bool select(int row, int column, QItemSelectionModel::SelectionFlag unit, bool on)
    {
        QItemSelectionModel* s = selection();
        if (!s)
            return false;
        QTableView* v = view();
        const QModelIndex index = v->model()->index(row, column, v->rootIndex());
        const QAbstractItemView::SelectionBehavior other = unit == QItemSelectionModel::Rows
                                                               ? QAbstractItemView::SelectColumns
                                                               : QAbstractItemView::SelectRows;
        if (!index.isValid() || v->selectionMode() == QAbstractItemView::NoSelection ||
            v->selectionBehavior() == other)
            return false;
        QItemSelectionModel::SelectionFlags how = unit;
        if (!on)
            how |= QItemSelectionModel::Deselect;
        else if (v->selectionMode() == QAbstractItemView::SingleSelection)
            how |= QItemSelectionModel::ClearAndSelect;
        else
            how |= QItemSelectionModel::Select;
        s->select(index, how);
        return true;
    }

    void forget(int index) const
    {
        const QAccessible::Id id = m_ids.take(index);
        if (QAccessibleInterface* item = QAccessible::accessibleInterface(id))
            m_indexes.remove(item);
        retire(id);
    }

    void retireAll() const
    {
        for (const QAccessible::Id id : std::as_const(m_ids))
            retire(id);
        m_ids.clear();
        m_indexes.clear();
    }

    mutable QHash<int, QAccessible::Id> m_ids;
    mutable QHash<const QAccessibleInterface*, int> m_indexes;
    mutable Layout m_shape; // the shape the cached children were made for
    mutable QAccessible::Id m_missing = 0;
};

TableAccessible* Item::tableAccessible() const
{
    QTableView* v = view();
    return v ? dynamic_cast<TableAccessible*>(QAccessible::queryAccessibleInterface(v)) : nullptr;
}

class CellItem : public Item,
                 public QAccessibleTableCellInterface,
                 public QAccessibleActionInterface
{
public:
    CellItem(QTableView* view, const QModelIndex& index) : Item(view), m_index(index) {}

    bool isValid() const override
    {
        QTableView* v = view();
        return v && m_index.isValid() && m_index.model() == v->model();
    }

    bool isAt(int index, const Layout& layout) const override
    {
        return index >= 0 && index < layout.childCount() && isValid() &&
               m_index.model() == layout.model && m_index.parent() == layout.root &&
               layout.indexOf(m_index.row(), m_index.column()) == index;
    }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface*>(this);
        if (t == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    QAccessible::Role role() const override { return QAccessible::Cell; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return QString();
        if (t == QAccessible::Name) {
            const QVariant spoken = m_index.data(Qt::AccessibleTextRole);
            return (spoken.isValid() ? spoken : m_index.data(Qt::DisplayRole)).toString();
        }
        if (t == QAccessible::Description)
            return m_index.data(Qt::AccessibleDescriptionRole).toString();
        return QString();
    }

    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        QTableView* v = view();
        const QRect r = v->visualRect(m_index);
        return r.isEmpty() ? QRect() : r.translated(v->viewport()->mapToGlobal(QPoint(0, 0)));
    }

    QAccessible::State state() const override
    {
        QAccessible::State st;
        if (!isValid()) {
            st.invalid = true;
            return st;
        }
        QTableView* v = view();
        const QRect shown(v->viewport()->mapToGlobal(QPoint(0, 0)), v->viewport()->size());
        if (!v->isVisible() || !shown.intersects(rect()))
            st.invisible = true;
        if (QItemSelectionModel* s = v->selectionModel()) {
            st.selected = s->isSelected(m_index);
            st.focused = s->currentIndex() == m_index;
        }
        const QVariant check = m_index.data(Qt::CheckStateRole);
        const Qt::ItemFlags flags = m_index.flags();
        st.checked = check.toInt() == Qt::Checked;
        st.checkable = (flags & Qt::ItemIsUserCheckable) && check.isValid();
        if (flags & Qt::ItemIsSelectable) {
            st.selectable = true;
            st.focusable = true;
            st.multiSelectable = v->selectionMode() == QAbstractItemView::MultiSelection;
            st.extSelectable = v->selectionMode() == QAbstractItemView::ExtendedSelection;
        }
        st.disabled = !(flags & Qt::ItemIsEnabled);
        return st;
    }

    // Table cell interface.

    bool isSelected() const override
    {
        QItemSelectionModel* s = isValid() ? view()->selectionModel() : nullptr;
        return s && s->isSelected(m_index);
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override
    {
        return headerCells(Qt::Horizontal, m_index.column());
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override
    {
        return headerCells(Qt::Vertical, m_index.row());
    }
    int columnIndex() const override { return isValid() ? m_index.column() : -1; }
    int rowIndex() const override { return isValid() ? m_index.row() : -1; }
    int columnExtent() const override { return isValid() ? 1 : 0; }
    int rowExtent() const override { return isValid() ? 1 : 0; }
    QAccessibleInterface* table() const override { return parent(); }

    // Action interface: toggling selects or unselects, as a click would.

    QStringList actionNames() const override
    {
        return isValid() && (m_index.flags() & Qt::ItemIsSelectable) &&
                       view()->selectionMode() != QAbstractItemView::NoSelection
                   ? QStringList{toggleAction()}
                   : QStringList();
    }

    void doAction(const QString& name) override
    {
        if (name != toggleAction() || !actionNames().contains(name))
            return;
        // Nothing of this item is read after the selection changes: the
        // grid may reload in response and retire it.
        QTableView* v = view();
        QItemSelectionModel* s = v->selectionModel();
        const QModelIndex index = m_index;
        QItemSelectionModel::SelectionFlags how;
        if (s->isSelected(index))
            how = QItemSelectionModel::Deselect;
        else if (v->selectionMode() == QAbstractItemView::SingleSelection)
            how = QItemSelectionModel::ClearAndSelect;
        else
            how = QItemSelectionModel::Select;
        if (v->selectionBehavior() == QAbstractItemView::SelectRows)
            how |= QItemSelectionModel::Rows;
        else if (v->selectionBehavior() == QAbstractItemView::SelectColumns)
            how |= QItemSelectionModel::Columns;
        s->select(index, how);
    }

    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QList<QAccessibleInterface*> headerCells(Qt::Orientation orientation, int section) const
    {
        TableAccessible* t = isValid() ? tableAccessible() : nullptr;
        QAccessibleInterface* header = t ? t->headerItem(orientation, section) : nullptr;
        return header ? QList<QAccessibleInterface*>{header} : QList<QAccessibleInterface*>{};
    }

    QPersistentModelIndex m_index;
};

class HeaderItem : public Item
{
public:
    enum Kind
    {
        Column,
        Row,
        Corner
    };

    HeaderItem(QTableView* view, Kind kind, int section)
        : Item(view), m_kind(kind), m_section(section)
    {
    }

    bool isValid() const override
    {
        QTableView* v = view();
        if (!v || !v->model())
            return false;
        const QAbstractItemModel* model = v->model();
        const QModelIndex root = v->rootIndex();
        switch (m_kind) {
        case Column:
            return m_section >= 0 && m_section < model->columnCount(root);
        case Row:
            return m_section >= 0 && m_section < model->rowCount(root);
        case Corner:
            break;
        }
        return true;
    }

    bool isAt(int index, const Layout& layout) const override
    {
        if (index < 0 || index >= layout.childCount())
            return false;
        const int row = layout.rowOf(index);
        const int column = layout.columnOf(index);
        switch (m_kind) {
        case Column:
            return row < 0 && column == m_section && column < layout.columns;
        case Row:
            return column < 0 && row == m_section && row < layout.rows;
        case Corner:
            break;
        }
        return row < 0 && column < 0;
    }

    void* interface_cast(QAccessible::InterfaceType) override { return nullptr; }

    QAccessible::Role role() const override
    {
        switch (m_kind) {
        case Column:
            return QAccessible::ColumnHeader;
        case Row:
            return QAccessible::RowHeader;
        case Corner:
            break;
        }
        return QAccessible::Pane;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name || m_kind == Corner || !isValid())
            return QString();
        const Qt::Orientation o = m_kind == Column ? Qt::Horizontal : Qt::Vertical;
        const QAbstractItemModel* model = view()->model();
        const QVariant spoken = model->headerData(m_section, o, Qt::AccessibleTextRole);
        return (spoken.isValid() ? spoken : model->headerData(m_section, o)).toString();
    }

    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        QTableView* v = view();
        QHeaderView* columns = v->horizontalHeader();
        QHeaderView* rows = v->verticalHeader();
        if (m_kind == Corner)
            return QRect(v->mapToGlobal(QPoint(v->frameWidth(), v->frameWidth())),
                         QSize(rows->width(), columns->height()));
        QHeaderView* header = m_kind == Column ? columns : rows;
        if (!header->isVisible())
            return QRect();
        const QPoint origin = header->viewport()->mapToGlobal(QPoint(0, 0));
        const int at = header->sectionViewportPosition(m_section);
        const int size = header->sectionSize(m_section);
        return m_kind == Column ? QRect(origin.x() + at, origin.y(), size, header->height())
                                : QRect(origin.x(), origin.y() + at, header->width(), size);
    }

    QAccessible::State state() const override
    {
        QAccessible::State st;
        st.invalid = !isValid();
        st.invisible = st.invalid || rect().isEmpty();
        return st;
    }

private:
    Kind m_kind;
    int m_section;
};

QAccessibleInterface* TableAccessible::missingCell() const
{
    if (!m_missing)
        m_missing = QAccessible::registerAccessibleInterface(new CellItem(view(), QModelIndex()));
    return QAccessible::accessibleInterface(m_missing);
}

Item* TableAccessible::create(int index, const Layout& l) const
{
    const int row = l.rowOf(index);
    const int column = l.columnOf(index);
    if (row < 0 && column < 0)
        return new HeaderItem(view(), HeaderItem::Corner, -1);
    if (column < 0)
        return new HeaderItem(view(), HeaderItem::Row, row);
    if (row < 0)
        return new HeaderItem(view(), HeaderItem::Column, column);
    const QModelIndex cell = l.model->index(row, column, l.root);
    return cell.isValid() ? new CellItem(view(), cell) : nullptr;
}

// Qt looks factories up by every class name of the object, most derived
// first, and asks the last installed factory first: this one takes every
// table view before Qt's own, subclasses (TDBGrid, the calendar's view) too.
QAccessibleInterface* tableViewFactory(const QString& className, QObject* object)
{
    if (className != QLatin1String("QTableView"))
        return nullptr;
    auto* view = qobject_cast<QTableView*>(object);
    return view ? new TableAccessible(view) : nullptr;
}

} // namespace

void installAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(tableViewFactory);
    QAccessible::installFactory(lineEditAccessibleFactory);
    QAccessible::installFactory(tabBarAccessibleFactory);
}

} // namespace krt
