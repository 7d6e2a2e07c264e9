#include "framework/widgets/picklistdialog.h"

#include "framework/core/hostservices.h"
#include "framework/data/dataset.h"
#include "framework/data/datasource.h"
#include "framework/wire/errors.h"
#include "framework/wire/keylist.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace krt {

namespace {

QStringList keysOf(const QString& list)
{
    try {
        return parseKeyList(list);
    } catch (const WireError&) {
        return {}; // a list we cannot read simply pre-checks nothing
    }
}

} // namespace

PickListDialog::PickListDialog(TDataSource* source, const QString& keyField, const QString& title,
                               bool singlePick, const QString& currentList, QWidget* parent)
    : QDialog(parent), m_source(source), m_keyField(keyField), m_single(singlePick),
      m_table(new QTableWidget(this)), m_empty(new QLabel(this))
{
    const qsizetype bar = title.indexOf(QLatin1Char('|'));
    setWindowTitle(bar < 0 ? title : title.left(bar));
    m_empty->setText(bar < 0 ? QStringLiteral("Não há registros para seleção.")
                             : title.mid(bar + 1));

    TDataSet* ds = source ? source->DataSet() : nullptr;
    QList<TField*> columns;
    TField* key = nullptr;
    if (ds) {
        for (TField* f : ds->Fields()) {
            if (f->Visible())
                columns.append(f);
        }
        key = ds->FindField(keyField);
    }
    const int rows = ds && ds->Active() ? ds->RecordCount() : 0;
    const QStringList already = singlePick ? QStringList() : keysOf(currentList);

    m_table->setColumnCount(int(columns.size()));
    m_table->setRowCount(rows);
    QStringList headers;
    for (TField* f : columns)
        headers << f->DisplayLabel();
    m_table->setHorizontalHeaderLabels(headers);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(singlePick ? QAbstractItemView::SingleSelection
                                         : QAbstractItemView::NoSelection);
    m_table->verticalHeader()->setVisible(false);
    for (int r = 0; r < rows; ++r) {
        // The stored value is the key, whatever its display text looks like.
        const QVariant stored = key ? key->ValueAt(r) : QVariant();
        const QString k = stored.isNull() ? QString() : stored.toString();
        m_keys << k;
        for (int c = 0; c < columns.size(); ++c) {
            auto* item = new QTableWidgetItem(columns.at(c)->DisplayTextAt(r));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            if (c == 0 && !singlePick) {
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                item->setCheckState(already.contains(k) ? Qt::Checked : Qt::Unchecked);
            }
            m_table->setItem(r, int(c), item);
        }
    }
    m_table->resizeColumnsToContents();
    if (singlePick && ds && rows > 0)
        selectRow(qMax(0, ds->CurrentIndex()));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    ok->setEnabled(rows > 0);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    if (singlePick)
        connect(m_table, &QTableWidget::cellDoubleClicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_empty);
    layout->addWidget(buttons);
    m_table->setVisible(rows > 0);
    m_empty->setVisible(rows == 0);
    resize(520, 360);
}

int PickListDialog::rowCount() const
{
    return m_table->rowCount();
}

void PickListDialog::setRowChecked(int row, bool checked)
{
    if (QTableWidgetItem* item = m_table->item(row, 0); item && !m_single)
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

bool PickListDialog::isRowChecked(int row) const
{
    QTableWidgetItem* item = m_table->item(row, 0);
    return item && !m_single && item->checkState() == Qt::Checked;
}

void PickListDialog::selectRow(int row)
{
    if (row >= 0 && row < m_table->rowCount())
        m_table->selectRow(row);
}

int PickListDialog::chosenRow() const
{
    if (!m_single)
        return -1;
    const auto rows = m_table->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

QStringList PickListDialog::chosenKeys() const
{
    QStringList out;
    if (m_single) {
        const int row = chosenRow();
        if (row >= 0)
            out << m_keys.value(row);
        return out;
    }
    for (int r = 0; r < m_table->rowCount(); ++r) {
        if (isRowChecked(r))
            out << m_keys.value(r);
    }
    return out;
}

QString PickListDialog::emptyText() const
{
    return m_empty->text();
}

bool runPickList(TDataSource* source, const QString& keyField, const QString& title,
                 bool singlePick, QString& list)
{
    PickListDialog dialog(source, keyField, title, singlePick, list, QApplication::activeWindow());
    if (hostServices().execModal(dialog) != QDialog::Accepted)
        return false;
    const QStringList keys = dialog.chosenKeys();
    if (singlePick) {
        const int row = dialog.chosenRow();
        TDataSet* ds = source ? source->DataSet() : nullptr;
        if (row < 0 || !ds)
            return false;
        ds->MoveTo(row);
    }
    list = formatKeyList(keys);
    return true;
}

} // namespace krt
