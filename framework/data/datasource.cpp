#include "framework/data/datasource.h"

#include "framework/data/dataset.h"

TDataSource::TDataSource(QObject* parent) : QObject(parent) {}

TDataSource::TDataSource(TDataSet* dataSet, QObject* parent) : QObject(parent)
{
    setDataSet(dataSet);
}

TDataSource::~TDataSource()
{
    if (m_dataSet)
        m_dataSet->detachSource(this);
}

void TDataSource::setDataSet(TDataSet* dataSet)
{
    if (m_dataSet == dataSet)
        return;
    if (m_dataSet)
        m_dataSet->detachSource(this);
    m_dataSet = dataSet;
    if (m_dataSet)
        m_dataSet->attachSource(this);
    emit dataSetChanged();
}

TDataSetState TDataSource::State() const
{
    return m_dataSet ? m_dataSet->State() : dsInactive;
}

// Observers repaint first; the hooks, which may throw, run last.
void TDataSource::notifyStateChange()
{
    emit stateChanged();
    if (OnStateChange)
        OnStateChange(this);
}

void TDataSource::notifyDataChange(bool cursorMoved)
{
    if (cursorMoved)
        emit currentChanged();
    else
        emit dataChanged();
    if (OnDataChange)
        OnDataChange(this, nullptr);
}
