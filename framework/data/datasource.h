#pragma once

#include "framework/data/dataset.h"
#include "framework/data/datasettypes.h"

#include <QObject>
#include <functional>

class TField;

// Links observers (grids, navigators, labels, screen handlers) to a data set.
// The hooks are plain calls made while the data set changes, so an exception
// from a hook reaches the code that opened, loaded or moved the set.
class TDataSource : public QObject, private IDataSetObserver
{
    Q_OBJECT
public:
    explicit TDataSource(QObject* parent = nullptr);
    explicit TDataSource(TDataSet* dataSet, QObject* parent = nullptr);
    ~TDataSource() override;

    TDataSet* DataSet() const { return m_dataSet; }
    void setDataSet(TDataSet* dataSet);
    // The data set's state; dsInactive without one.
    TDataSetState State() const;

    // Every state change of the data set: open, close, each re-open by a load.
    std::function<void(QObject* sender)> OnStateChange;
    // The content was replaced or the cursor moved; `field` is null for a
    // whole-record change (the only kind a read-only set makes).
    std::function<void(QObject* sender, TField* field)> OnDataChange;

signals:
    void stateChanged();
    // The content was replaced.
    void dataChanged();
    // The cursor moved to another record.
    void currentChanged();
    // Now linked to another data set (or none).
    void dataSetChanged();

private:
    void dataSetStateChanged() override;
    void dataSetContentChanged(bool cursorMoved) override;
    void dataSetDestroyed() override;

    TDataSet* m_dataSet = nullptr;
};
