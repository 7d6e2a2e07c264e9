#include "framework/widgets/searchdialog.h"

#include "framework/core/handlerboundary.h"
#include "framework/core/hostservices.h"
#include "framework/data/dataset.h"
#include "framework/widgets/dialogframe.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

namespace krt {

SearchDialog::SearchDialog(TDataSet* dataSet, QWidget* parent)
    : QDialog(parent), m_dataSet(dataSet), m_field(new QComboBox(this)),
      m_value(new QLineEdit(this)), m_status(new QLabel(this))
{
    useDialogFrame(this);
    setWindowTitle(QStringLiteral("Procurar"));
    if (dataSet) {
        for (TField* f : dataSet->Fields()) {
            if (f->Visible())
                m_field->addItem(f->DisplayLabel(), f->FieldName());
        }
    }
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* find =
        buttons->addButton(QStringLiteral("Procurar"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    find->setDefault(true);
    connect(find, &QPushButton::clicked, this,
            [this] { invokeHandler("SearchDialog.Procurar", [this] { search(); }); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Campo"), m_field);
    layout->addRow(QStringLiteral("Valor"), m_value);
    layout->addRow(m_status);
    layout->addRow(buttons);
}

QString SearchDialog::statusText() const
{
    return m_status->text();
}

bool SearchDialog::search()
{
    if (!m_dataSet || !m_dataSet->Active() || m_field->currentIndex() < 0) {
        m_status->setText(QStringLiteral("Não há registros para pesquisar."));
        return false;
    }
    const QString field = m_field->currentData().toString();
    const QString typed = m_value->text();
    if (m_dataSet->Locate(field, typed, loCaseInsensitive | loPartialKey) ||
        locatePadded(field, typed)) {
        accept();
        return true;
    }
    m_status->setText(QStringLiteral("Registro não encontrado."));
    return false;
}

bool SearchDialog::locatePadded(const QString& fieldName, const QString& typed)
{
    // Codes such as "0000000028" are stored with their leading zeros; a clerk
    // types "28". Only a number shorter than a field whose values are all
    // digits of the field's full size is padded; anything else matches as typed.
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    TField* f = m_dataSet->FindField(fieldName);
    if (!f || f->Size() <= typed.size() || !digits.match(typed).hasMatch() ||
        m_dataSet->RecordCount() == 0)
        return false;
    const QString sample = f->DisplayTextAt(0);
    if (sample.size() != f->Size() || !digits.match(sample).hasMatch())
        return false;
    return m_dataSet->Locate(fieldName, typed.rightJustified(f->Size(), QLatin1Char('0')),
                             loCaseInsensitive);
}

bool runSearch(TDataSet* dataSet)
{
    SearchDialog dialog(dataSet, QApplication::activeWindow());
    return hostServices().execModal(dialog) == QDialog::Accepted;
}

} // namespace krt
