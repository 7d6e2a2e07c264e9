#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;
class TDataSet;
class TDataSource;
class TField;

namespace krt {

// The rows of a pick list: the visible fields of a data set as columns, read
// in place (no copy of the texts), a check per candidate and a filter.
//
// "Candidate" rows are the data set's records (0-based); the model's rows are
// the candidates the filter lets through, in the data set's order. The filter
// is made of words separated by blanks; a row passes when every word occurs
// in the text of one of its shown columns, ignoring case and accents.
class PickListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    PickListModel(TDataSet* dataSet, const QString& keyField, bool checkable,
                  QObject* parent = nullptr);

    int candidateCount() const { return m_candidates; }
    // The candidate shown in a model row, and the model row of a candidate (-1: filtered out).
    int candidateAt(int row) const;
    int rowOfCandidate(int candidate) const;
    // The stored key value of a candidate (its display text plays no part).
    QString keyAt(int candidate) const;

    bool isCheckable() const { return m_checkable; }
    bool isChecked(int candidate) const;
    void setChecked(int candidate, bool checked);
    // Checks every candidate whose key is in `keys`.
    void checkKeys(const QStringList& keys);
    // Checks or clears every candidate the filter shows (the others keep their state).
    void setShownChecked(bool checked);
    int checkedCount() const { return m_checkedCount; }
    // The keys of the checked candidates, in the data set's order, each once.
    QStringList checkedKeys() const;

    void setFilterText(const QString& text);
    const QString& filterText() const { return m_filterText; }
    // Reads the shown texts of up to `rows` more candidates for the filter
    // (the dialog does it bit by bit while it waits for the user, so the
    // first letter typed finds them read); true once every row is read.
    bool prepareSearch(int rows) const;
    bool isFiltered() const { return m_filtered; }

    // The shown fields, in column order.
    const QList<TField*>& columns() const { return m_columns; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The column of check boxes that shows no field of its own (see the .cpp).
    bool isMarkColumn(int column) const;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    void checkedCountChanged(int count);

private:
    void reloadFromDataSet();
    bool rowMatches(int candidate, const QStringList& words) const;

    QPointer<TDataSet> m_dataSet;
    TField* m_key = nullptr;
    QList<TField*> m_columns;
    bool m_checkable;
    int m_candidates = 0;
    std::vector<char> m_checked; // per candidate
    int m_checkedCount = 0;

    QString m_filterText;
    QStringList m_filterWords; // folded
    bool m_filtered = false;
    std::vector<int> m_shown; // candidates that pass the filter (when filtered)
    // Folded text of each candidate's shown columns, built the first time a
    // filter is typed (opening the list reads nothing but what is painted).
    mutable std::vector<QString> m_searchTexts;
    mutable int m_searchReady = 0;
};

// The pick list behind PesquisaLista and the lookup buttons: the source's
// visible fields as columns over a model of the data set, a filter typed
// above the list, and in multiple mode a check box per row (keys already in
// the list come checked), "Marcar todos"/"Desmarcar todos" for what the filter
// shows and the count of checked keys. In single mode the row under the
// cursor is the choice. The title before '|' is the caption; the text after it
// is shown when the source has no rows.
//
// Keyboard: typing filters; the arrows move through the list (from the filter
// too); Space checks or clears the current row; a letter typed in the list
// goes on into the filter; Enter confirms and Esc cancels.
class PickListDialog : public QDialog
{
    Q_OBJECT
public:
    PickListDialog(TDataSource* source, const QString& keyField, const QString& title,
                   bool singlePick, const QString& currentList, QWidget* parent = nullptr);

    // Candidates (all of them, whatever the filter shows); rows below are candidates.
    int rowCount() const;
    void setRowChecked(int row, bool checked);
    bool isRowChecked(int row) const;
    // Makes a candidate the current row (when the filter shows it).
    void selectRow(int row);
    // The key values chosen (checked rows, or the current row in single mode).
    QStringList chosenKeys() const;
    // The chosen candidate in single mode (-1: none).
    int chosenRow() const;
    QString emptyText() const;
    bool isSinglePick() const { return m_single; }

    void setFilterText(const QString& text);
    QString filterText() const;
    // Rows the filter shows.
    int shownRowCount() const;
    // Checks / clears what the filter shows.
    void checkShown();
    void uncheckShown();
    int checkedCount() const;
    // The line under the list: how many are checked and shown, and a warning
    // while more are checked than a key list may carry (OK is then refused).
    QString countText() const;
    bool isOverKeyLimit() const;

    void accept() override;

    PickListModel* model() const { return m_model; }
    QTableView* view() const { return m_view; }
    QLineEdit* filterEdit() const { return m_filter; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void sizeColumns();
    void updateCount();
    void toggleCurrent();
    void focusList(int key);

    QPointer<TDataSource> m_source;
    QString m_keyField;
    bool m_single;
    PickListModel* m_model;
    QLineEdit* m_filter;
    QTableView* m_view;
    QLabel* m_empty;
    QLabel* m_count;
    QPushButton* m_ok;
    QTimer* m_prepare;
};

// Runs the pick list modally (through the host's execModal) and applies the
// result: the formatted keys into list, and in single mode the data set on the
// chosen row. False when cancelled or nothing was chosen.
bool runPickList(TDataSource* source, const QString& keyField, const QString& title,
                 bool singlePick, QString& list);

} // namespace krt
