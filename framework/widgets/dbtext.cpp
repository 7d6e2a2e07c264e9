#include "framework/widgets/dbtext.h"

#include "framework/data/dataset.h"
#include "framework/data/datasource.h"

TDBText::TDBText(QWidget* parent) : QLabel(parent) {}

void TDBText::setDataField(const QString& fieldName)
{
    m_field = fieldName;
    refresh();
}

void TDBText::refresh()
{
    TDataSet* ds = m_link.dataSet();
    TField* f = ds && !m_field.isEmpty() ? ds->FindField(m_field) : nullptr;
    QString shown;
    if (f && ds->Active() && !ds->IsEmpty()) {
        try {
            shown = f->DisplayText();
        } catch (...) {
            shown.clear(); // a label must not break the move that refreshed it
        }
    }
    setText(shown);
}
