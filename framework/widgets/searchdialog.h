#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class TDataSet;

namespace krt {

// The search behind Procura: choose a visible field, type the start of a
// value; "Procurar" positions the data set on the first matching record
// (case-insensitive) and closes, or says that nothing matched and stays open.
class SearchDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SearchDialog(TDataSet* dataSet, QWidget* parent = nullptr);

    QComboBox* fieldBox() const { return m_field; }
    QLineEdit* valueEdit() const { return m_value; }
    QString statusText() const;

    // Runs the search; true (and the dialog accepted) when a record matched.
    bool search();

private:
    bool locatePadded(const QString& fieldName, const QString& typed);
    TDataSet* m_dataSet;
    QComboBox* m_field;
    QLineEdit* m_value;
    QLabel* m_status;
};

// Runs the search dialog modally through the host's execModal.
bool runSearch(TDataSet* dataSet);

} // namespace krt
