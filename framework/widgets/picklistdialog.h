#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QTableWidget;
class TDataSource;

namespace krt {

// The pick list behind PesquisaLista and the lookup buttons: the source's
// visible fields as columns, one row per record. In multiple mode each row has
// a check box (keys already in the list come checked); in single mode one row
// is chosen. The title before '|' is the caption; the text after it is shown
// when the source has no rows.
class PickListDialog : public QDialog
{
    Q_OBJECT
public:
    PickListDialog(TDataSource* source, const QString& keyField, const QString& title,
                   bool singlePick, const QString& currentList, QWidget* parent = nullptr);

    int rowCount() const;
    void setRowChecked(int row, bool checked);
    bool isRowChecked(int row) const;
    void selectRow(int row);
    // The key values chosen (checked rows, or the selected row).
    QStringList chosenKeys() const;
    // The chosen row in single mode (-1: none).
    int chosenRow() const;
    QString emptyText() const;
    bool isSinglePick() const { return m_single; }

private:
    TDataSource* m_source;
    QString m_keyField;
    bool m_single;
    QStringList m_keys; // per row
    QTableWidget* m_table;
    QLabel* m_empty;
};

// Runs the pick list modally (through the host's execModal) and applies the
// result: the formatted keys into list, and in single mode the data set on the
// chosen row. False when cancelled or nothing was chosen.
bool runPickList(TDataSource* source, const QString& keyField, const QString& title,
                 bool singlePick, QString& list);

} // namespace krt
