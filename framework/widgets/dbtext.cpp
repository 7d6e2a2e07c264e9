#include "framework/widgets/dbtext.h"

#include "framework/data/dataset.h"
#include "framework/data/datasource.h"

TDBText::TDBText(QWidget* parent) : QLabel(parent) {}

void TDBText::setDataSource(TDataSource* source)
{
    for (const auto& link : std::as_const(m_links))
        disconnect(link);
    m_links.clear();
    m_source = source;
    if (source) {
        for (auto signal : {&TDataSource::stateChanged, &TDataSource::dataChanged,
                            &TDataSource::currentChanged, &TDataSource::dataSetChanged})
            m_links << connect(source, signal, this, &TDBText::refresh);
    }
    refresh();
}

void TDBText::setDataField(const QString& fieldName)
{
    m_field = fieldName;
    refresh();
}

void TDBText::refresh()
{
    TDataSet* ds = m_source ? m_source->DataSet() : nullptr;
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
