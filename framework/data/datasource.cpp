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
        m_dataSet->removeObserver(this);
}

void TDataSource::setDataSet(TDataSet* dataSet)
{
    if (m_dataSet == dataSet)
        return;
    if (m_dataSet)
        m_dataSet->removeObserver(this);
    m_dataSet = dataSet;
    if (m_dataSet)
        m_dataSet->addObserver(this);
    emit dataSetChanged();
}

TDataSetState TDataSource::State() const
{
    return m_dataSet ? m_dataSet->State() : dsInactive;
}

// Observers repaint first; the hooks, which may throw, run last.
void TDataSource::dataSetStateChanged()
{
    emit stateChanged();
    if (OnStateChange)
        OnStateChange(this);
}

void TDataSource::dataSetContentChanged(bool cursorMoved)
{
    if (cursorMoved)
        emit currentChanged();
    else
        emit dataChanged();
    if (OnDataChange)
        OnDataChange(this, nullptr);
}

void TDataSource::dataSetDestroyed()
{
    m_dataSet = nullptr;
}
