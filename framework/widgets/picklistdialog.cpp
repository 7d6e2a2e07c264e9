#include "framework/widgets/picklistdialog.h"

#include "framework/core/hostservices.h"
#include "framework/data/dataset.h"
#include "framework/data/datasource.h"
#include "framework/widgets/dialogframe.h"
#include "framework/wire/errors.h"
#include "framework/wire/keylist.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace krt {

namespace {

QStringList keysOf(const QString& list)
{
    try {
        return parseKeyList(list);
    } catch (const Error&) {
        return {}; // a list we cannot read simply pre-checks nothing
    }
}

// Lower case without accents, so that "joao" finds "João" and "ACAO" "ação".
// Plain ASCII, nearly all of what a list holds, takes the short way.
void appendFolded(QString& out, QStringView text)
{
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            out += QChar(u >= 'A' && u <= 'Z' ? char16_t(u + 32) : u);
            continue;
        }
        while (c.decompositionTag() == QChar::Canonical) {
            const QString parts = c.decomposition();
            if (parts.isEmpty())
                break;
            c = parts.at(0);
        }
        out += c.toCaseFolded();
    }
}

QString folded(QStringView text)
{
    QString out;
    out.reserve(text.size());
    appendFolded(out, text);
    return out;
}

QString countOf(int n)
{
    return QLocale(QLocale::Portuguese, QLocale::Brazil).toString(n);
}

} // namespace

// ---- Model ----

PickListModel::PickListModel(TDataSet* dataSet, const QString& keyField, bool checkable,
                             QObject* parent)
    : QAbstractTableModel(parent), m_dataSet(dataSet), m_checkable(checkable)
{
    if (dataSet) {
        for (TField* f : dataSet->Fields()) {
            if (f->Visible())
                m_columns.append(f);
        }
        m_key = dataSet->FindField(keyField);
        // The list is modal, but a set reloaded under it must not be read past its end.
        connect(dataSet, &TDataSet::dataChanged, this, &PickListModel::reloadFromDataSet);
        connect(dataSet, &TDataSet::stateChanged, this, &PickListModel::reloadFromDataSet);
        connect(dataSet, &QObject::destroyed, this, &PickListModel::reloadFromDataSet);
    }
    m_candidates = dataSet && dataSet->Active() ? dataSet->RecordCount() : 0;
    m_checked.assign(size_t(m_candidates), 0);
}

void PickListModel::reloadFromDataSet()
{
    // The checks belong to the rows that are gone: start again unchecked,
    // with the same filter over the new rows.
    beginResetModel();
    if (!m_dataSet) {
        m_columns.clear();
        m_key = nullptr;
    }
    m_candidates = m_dataSet && m_dataSet->Active() ? m_dataSet->RecordCount() : 0;
    m_checked.assign(size_t(m_candidates), 0);
    m_checkedCount = 0;
    m_searchTexts.clear();
    m_searchReady = 0;
    m_shown.clear();
    m_filtered = false;
    const QStringList words = m_filterWords;
    m_filterWords.clear();
    endResetModel();
    if (!words.isEmpty())
        setFilterText(m_filterText);
    emit checkedCountChanged(m_checkedCount);
}

int PickListModel::candidateAt(int row) const
{
    if (row < 0)
        return -1;
    if (!m_filtered)
        return row < m_candidates ? row : -1;
    return row < int(m_shown.size()) ? m_shown[size_t(row)] : -1;
}

int PickListModel::rowOfCandidate(int candidate) const
{
    if (candidate < 0 || candidate >= m_candidates)
        return -1;
    if (!m_filtered)
        return candidate;
    const auto it = std::lower_bound(m_shown.begin(), m_shown.end(), candidate);
    return it != m_shown.end() && *it == candidate ? int(it - m_shown.begin()) : -1;
}

QString PickListModel::keyAt(int candidate) const
{
    if (!m_key || candidate < 0 || candidate >= m_candidates)
        return QString();
    const QVariant stored = m_key->ValueAt(candidate);
    return stored.isNull() ? QString() : stored.toString();
}

bool PickListModel::isChecked(int candidate) const
{
    return candidate >= 0 && candidate < m_candidates && m_checked[size_t(candidate)];
}

void PickListModel::setChecked(int candidate, bool checked)
{
    if (!m_checkable || candidate < 0 || candidate >= m_candidates ||
        bool(m_checked[size_t(candidate)]) == checked)
        return;
    m_checked[size_t(candidate)] = checked;
    m_checkedCount += checked ? 1 : -1;
    if (const int row = rowOfCandidate(candidate); row >= 0)
        emit dataChanged(index(row, 0), index(row, 0), {Qt::CheckStateRole});
    emit checkedCountChanged(m_checkedCount);
}

void PickListModel::checkKeys(const QStringList& keys)
{
    if (!m_checkable || keys.isEmpty() || m_candidates == 0)
        return;
    const QSet<QString> wanted(keys.begin(), keys.end());
    for (int c = 0; c < m_candidates; ++c) {
        if (!m_checked[size_t(c)] && wanted.contains(keyAt(c))) {
            m_checked[size_t(c)] = 1;
            ++m_checkedCount;
        }
    }
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
    emit checkedCountChanged(m_checkedCount);
}

void PickListModel::setShownChecked(bool checked)
{
    if (!m_checkable)
        return;
    const int rows = rowCount();
    for (int r = 0; r < rows; ++r) {
        char& flag = m_checked[size_t(candidateAt(r))];
        if (bool(flag) != checked) {
            flag = checked;
            m_checkedCount += checked ? 1 : -1;
        }
    }
    if (rows > 0)
        emit dataChanged(index(0, 0), index(rows - 1, 0), {Qt::CheckStateRole});
    emit checkedCountChanged(m_checkedCount);
}

QStringList PickListModel::checkedKeys() const
{
    QStringList out;
    if (m_checkedCount == 0)
        return out;
    QSet<QString> seen;
    for (int c = 0; c < m_candidates; ++c) {
        if (!m_checked[size_t(c)])
            continue;
        const QString k = keyAt(c);
        if (!seen.contains(k)) {
            seen.insert(k);
            out << k;
        }
    }
    return out;
}

bool PickListModel::prepareSearch(int rows) const
{
    if (m_searchTexts.size() != size_t(m_candidates)) {
        m_searchTexts.assign(size_t(m_candidates), QString());
        m_searchReady = 0;
    }
    const int end = int(std::min<qint64>(m_candidates, qint64(m_searchReady) + rows));
    for (int c = m_searchReady; c < end; ++c) {
        QString& text = m_searchTexts[size_t(c)];
        for (TField* f : m_columns) {
            // A line break never occurs in a filter word, so no match spans two columns.
            if (!text.isEmpty())
                text += QLatin1Char('\n');
            appendFolded(text, f->DisplayTextAt(c));
        }
        text.squeeze();
    }
    m_searchReady = end;
    return m_searchReady == m_candidates;
}

bool PickListModel::rowMatches(int candidate, const QStringList& words) const
{
    const QString& text = m_searchTexts[size_t(candidate)];
    for (const QString& w : words) {
        if (!text.contains(w))
            return false;
    }
    return true;
}

void PickListModel::setFilterText(const QString& text)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList words = folded(text).split(blanks, Qt::SkipEmptyParts);
    m_filterText = text;
    if (words == m_filterWords)
        return;
    beginResetModel();
    if (words.isEmpty()) {
        m_filtered = false;
        m_shown.clear();
    } else {
        prepareSearch(m_candidates);
        // Typing on only narrows the rows: when every word of the old filter
        // is part of a word of the new one, only the rows shown can still pass.
        const bool narrowing =
            m_filtered &&
            std::all_of(m_filterWords.begin(), m_filterWords.end(), [&](const QString& old) {
                return std::any_of(words.begin(), words.end(),
                                   [&](const QString& w) { return w.contains(old); });
            });
        std::vector<int> next;
        if (narrowing) {
            for (int c : m_shown) {
                if (rowMatches(c, words))
                    next.push_back(c);
            }
        } else {
            for (int c = 0; c < m_candidates; ++c) {
                if (rowMatches(c, words))
                    next.push_back(c);
            }
        }
        m_shown = std::move(next);
        m_filtered = true;
    }
    m_filterWords = words;
    endResetModel();
}

int PickListModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return m_filtered ? int(m_shown.size()) : m_candidates;
}

int PickListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

bool PickListModel::isMarkColumn(int column) const
{
    // A first column without a label of its own is the server's marker
    // (IDMARCADO, "N" on every row): in a list of check boxes it holds only
    // the boxes, not a raw field name over a column of letters.
    return m_checkable && column == 0 && !m_columns.isEmpty() &&
           !m_columns.first()->HasDisplayLabel();
}

QVariant PickListModel::data(const QModelIndex& index, int role) const
{
    const int candidate = index.isValid() ? candidateAt(index.row()) : -1;
    if (candidate < 0 || index.column() >= m_columns.size() || !m_dataSet)
        return {};
    TField* field = m_columns.at(index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (isMarkColumn(index.column()))
            return {};
        return field->DisplayTextAt(candidate);
    case Qt::TextAlignmentRole:
        switch (field->Alignment()) {
        case taRightJustify:
            return int(Qt::AlignRight | Qt::AlignVCenter);
        case taCenter:
            return int(Qt::AlignCenter);
        case taLeftJustify:
            break;
        }
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::CheckStateRole:
        if (m_checkable && index.column() == 0)
            return m_checked[size_t(candidate)] ? Qt::Checked : Qt::Unchecked;
        return {};
    default:
        return {};
    }
}

bool PickListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || !m_checkable || index.column() != 0)
        return false;
    const int candidate = candidateAt(index.row());
    if (candidate < 0)
        return false;
    setChecked(candidate, value.toInt() == Qt::Checked);
    return true;
}

QVariant PickListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_columns.size())
        return {};
    if (isMarkColumn(section))
        return QStringLiteral("Marcar");
    return m_columns.at(section)->DisplayLabel();
}

Qt::ItemFlags PickListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (m_checkable && index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

// ---- Dialog ----

PickListDialog::PickListDialog(TDataSource* source, const QString& keyField, const QString& title,
                               bool singlePick, const QString& currentList, QWidget* parent)
    : QDialog(parent), m_source(source), m_keyField(keyField), m_single(singlePick)
{
    useDialogFrame(this);
    const qsizetype bar = title.indexOf(QLatin1Char('|'));
    setWindowTitle(bar < 0 ? title : title.left(bar));

    TDataSet* ds = source ? source->DataSet() : nullptr;
    m_model = new PickListModel(ds, keyField, !singlePick, this);
    if (!singlePick)
        m_model->checkKeys(keysOf(currentList));
    const bool any = m_model->candidateCount() > 0;

    // Once on screen, the texts the filter searches are read a slice at a
    // time between the user's keys and paints.
    m_prepare = new QTimer(this);
    m_prepare->setSingleShot(true);
    m_prepare->setInterval(0);
    connect(m_prepare, &QTimer::timeout, this, [this] {
        if (!m_model->prepareSearch(2048))
            m_prepare->start();
    });

    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("edtFiltro"));
    m_filter->setPlaceholderText(QStringLiteral("Digite para filtrar"));
    m_filter->setClearButtonEnabled(true);
    // Qt's clear button has no text of its own: a screen reader would announce
    // a nameless button.
    for (QAction* action : m_filter->actions())
        action->setText(QStringLiteral("Limpar filtro"));
    for (QWidget* button : m_filter->findChildren<QToolButton*>())
        button->setAccessibleName(QStringLiteral("Limpar filtro"));

    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("grdLista"));
    m_view->setModel(m_model);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setTabKeyNavigation(false);
    m_view->setWordWrap(false);
    m_view->setShowGrid(false);
    m_view->setAlternatingRowColors(true);
    m_view->setCornerButtonEnabled(false);
    // Every row has the same height: the view places rows without measuring them.
    QHeaderView* rows = m_view->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->horizontalHeader()->setHighlightSections(false);
    m_view->horizontalHeader()->setStretchLastSection(true);
    sizeColumns();

    m_empty = new QLabel(this);
    m_empty->setObjectName(QStringLiteral("lblVazio"));
    m_empty->setText(bar < 0 ? QStringLiteral("Não há registros para seleção.")
                             : title.mid(bar + 1));
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("lblContagem"));

    auto* buttons = new QHBoxLayout;
    if (!singlePick) {
        auto* all = new QPushButton(QStringLiteral("&Marcar todos"), this);
        all->setObjectName(QStringLiteral("btnMarcarTodos"));
        all->setToolTip(QStringLiteral("Marca todos os registros exibidos pelo filtro"));
        auto* none = new QPushButton(QStringLiteral("&Desmarcar todos"), this);
        none->setObjectName(QStringLiteral("btnDesmarcarTodos"));
        none->setToolTip(QStringLiteral("Desmarca todos os registros exibidos pelo filtro"));
        for (QPushButton* b : {all, none}) {
            b->setAutoDefault(false); // Enter confirms the list, wherever the focus is
            b->setEnabled(any);
            buttons->addWidget(b);
        }
        connect(all, &QPushButton::clicked, this, &PickListDialog::checkShown);
        connect(none, &QPushButton::clicked, this, &PickListDialog::uncheckShown);
    }
    buttons->addStretch(1);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    m_ok->setEnabled(any);
    auto* cancel = new QPushButton(QStringLiteral("Cancelar"), this);
    cancel->setAutoDefault(false);
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_filter);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_empty);
    layout->addWidget(m_count);
    layout->addLayout(buttons);
    m_filter->setVisible(any);
    m_view->setVisible(any);
    m_count->setVisible(any);
    m_empty->setVisible(!any);

    connect(m_filter, &QLineEdit::textChanged, this, &PickListDialog::setFilterText);
    connect(m_model, &PickListModel::checkedCountChanged, this, &PickListDialog::updateCount);
    connect(m_view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (m_single) {
            accept();
        } else {
            const int candidate = m_model->candidateAt(index.row());
            m_model->setChecked(candidate, !m_model->isChecked(candidate));
        }
    });
    m_filter->installEventFilter(this);
    m_view->installEventFilter(this);

    // One row to pick: the cursor starts on the data set's record. Checking
    // rows: no row is current until the user goes into the list.
    if (singlePick && ds && any)
        selectRow(qMax(0, ds->CurrentIndex()));
    updateCount();

    int width = 0;
    for (int c = 0; c < m_model->columnCount(); ++c)
        width += m_view->columnWidth(c);
    resize(std::clamp(width + 48, 420, 900), 420);
    m_filter->setFocus();
}

void PickListDialog::sizeColumns()
{
    // Widths from the fields' sizes: measuring the texts would read every row.
    const QFontMetrics fm = m_view->fontMetrics();
    const int check = m_single ? 0
                               : m_view->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                                     m_view->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    const QList<TField*>& columns = m_model->columns();
    for (int c = 0; c < columns.size(); ++c) {
        const int chars = std::clamp(columns.at(c)->DisplayWidth(), 4, 40);
        int w = chars * fm.averageCharWidth() + 16;
        if (m_model->isMarkColumn(c))
            w = 0; // the box alone
        w = std::max(w, fm.horizontalAdvance(
                            m_model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()) +
                            24);
        if (c == 0)
            w += check;
        m_view->setColumnWidth(c, w);
    }
}

void PickListDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_prepare->start();
}

int PickListDialog::rowCount() const
{
    return m_model->candidateCount();
}

void PickListDialog::setRowChecked(int row, bool checked)
{
    m_model->setChecked(row, checked);
}

bool PickListDialog::isRowChecked(int row) const
{
    return !m_single && m_model->isChecked(row);
}

void PickListDialog::selectRow(int row)
{
    const int shown = m_model->rowOfCandidate(row);
    if (shown < 0)
        return;
    const QModelIndex index = m_model->index(shown, 0);
    m_view->setCurrentIndex(index);
    m_view->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

int PickListDialog::chosenRow() const
{
    if (!m_single)
        return -1;
    const QModelIndex current = m_view->currentIndex();
    return current.isValid() ? m_model->candidateAt(current.row()) : -1;
}

QStringList PickListDialog::chosenKeys() const
{
    if (!m_single)
        return m_model->checkedKeys();
    const int row = chosenRow();
    return row >= 0 ? QStringList{m_model->keyAt(row)} : QStringList();
}

QString PickListDialog::emptyText() const
{
    return m_empty->text();
}

void PickListDialog::setFilterText(const QString& text)
{
    if (m_filter->text() != text) {
        m_filter->setText(text); // comes back here through textChanged
        return;
    }
    m_model->setFilterText(text);
    // Picking one row: Enter takes the first match.
    if (m_single && m_model->rowCount() > 0)
        m_view->setCurrentIndex(m_model->index(0, 0));
    updateCount();
}

QString PickListDialog::filterText() const
{
    return m_model->filterText();
}

int PickListDialog::shownRowCount() const
{
    return m_model->rowCount();
}

void PickListDialog::checkShown()
{
    m_model->setShownChecked(true);
}

void PickListDialog::uncheckShown()
{
    m_model->setShownChecked(false);
}

int PickListDialog::checkedCount() const
{
    return m_model->checkedCount();
}

QString PickListDialog::countText() const
{
    return m_count->text();
}

void PickListDialog::updateCount()
{
    const int shown = m_model->rowCount();
    QString text;
    if (isOverKeyLimit())
        text = QStringLiteral("Marcados: %1, mas no máximo %2 podem ser enviados.    ")
                   .arg(countOf(m_model->checkedCount()), countOf(kMaxKeyListKeys));
    else if (!m_single)
        text = QStringLiteral("Marcados: %1    ").arg(countOf(m_model->checkedCount()));
    if (m_model->isFiltered() && shown == 0)
        text += QStringLiteral("Nenhum registro corresponde ao filtro.");
    else
        text += QStringLiteral("Exibidos: %1 de %2")
                    .arg(countOf(shown), countOf(m_model->candidateCount()));
    m_count->setText(text);
    m_ok->setEnabled(m_model->candidateCount() > 0 && !isOverKeyLimit());
}

bool PickListDialog::isOverKeyLimit() const
{
    return !m_single && m_model->checkedCount() > kMaxKeyListKeys;
}

void PickListDialog::accept()
{
    // The server refuses a longer list: better to say so while the user can
    // still uncheck rows than after the confirmation.
    if (isOverKeyLimit())
        return;
    QDialog::accept();
}

void PickListDialog::toggleCurrent()
{
    const QModelIndex current = m_view->currentIndex();
    if (m_single || !current.isValid())
        return;
    const int candidate = m_model->candidateAt(current.row());
    m_model->setChecked(candidate, !m_model->isChecked(candidate));
}

void PickListDialog::focusList(int key)
{
    if (m_model->rowCount() == 0)
        return;
    // Checked before the focus moves: a view that gets the focus makes its
    // first row current by itself.
    const bool entering = !m_view->currentIndex().isValid();
    m_view->setFocus(Qt::OtherFocusReason);
    if (entering) {
        m_view->setCurrentIndex(m_model->index(0, 0));
        return;
    }
    QKeyEvent move(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(m_view, &move);
}

bool PickListDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || (watched != m_filter && watched != m_view))
        return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;

    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (mods == Qt::NoModifier && !key->isAutoRepeat()) {
            if (m_ok->isEnabled() && (!m_single || chosenRow() >= 0))
                accept();
            return true;
        }
        break;
    case Qt::Key_Escape:
        if (mods == Qt::NoModifier) {
            reject();
            return true;
        }
        break;
    default:
        break;
    }

    if (watched == m_filter) {
        switch (key->key()) {
        case Qt::Key_Down:
        case Qt::Key_Up:
        case Qt::Key_PageDown:
        case Qt::Key_PageUp:
            if (mods == Qt::NoModifier) {
                focusList(key->key());
                return true;
            }
            break;
        default:
            break;
        }
        return QDialog::eventFilter(watched, event);
    }

    // In the list.
    if (key->key() == Qt::Key_Space && mods == Qt::NoModifier) {
        toggleCurrent();
        return true;
    }
    if (key->key() == Qt::Key_Up && mods == Qt::NoModifier &&
        (!m_view->currentIndex().isValid() || m_view->currentIndex().row() == 0)) {
        m_filter->setFocus(Qt::OtherFocusReason);
        return true;
    }
    const QString text = key->text();
    const bool typing = (mods & ~Qt::ShiftModifier) == Qt::NoModifier &&
                        ((!text.isEmpty() && text.at(0).isPrint() && !text.at(0).isSpace()) ||
                         key->key() == Qt::Key_Backspace);
    if (typing) {
        // Typing in the list goes on in the filter.
        m_filter->setFocus(Qt::OtherFocusReason);
        QCoreApplication::sendEvent(m_filter, event);
        return true;
    }
    return QDialog::eventFilter(watched, event);
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
