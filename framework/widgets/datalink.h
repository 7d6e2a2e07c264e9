#pragma once

#include "framework/data/dataset.h"
#include "framework/data/datasource.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

namespace krt {

// A data-aware control's tie to its data source: follows one source at a
// time and calls the control back whenever what the source shows may have
// changed (state, data, current record, another data set).
class DataLink
{
public:
    DataLink(QObject* control, std::function<void()> changed)
        : control_(control), changed_(std::move(changed))
    {
    }
    ~DataLink() { unlink(); }
    DataLink(const DataLink&) = delete;
    DataLink& operator=(const DataLink&) = delete;

    // Follows `source` (nullptr: none) and calls the control back once.
    void setSource(TDataSource* source)
    {
        unlink();
        source_ = source;
        if (source)
            for (auto signal : {&TDataSource::stateChanged, &TDataSource::dataChanged,
                                &TDataSource::currentChanged, &TDataSource::dataSetChanged})
                links_ << QObject::connect(source, signal, control_, changed_);
        changed_();
    }
    TDataSource* source() const { return source_; }
    // The source's data set, or nullptr.
    TDataSet* dataSet() const { return source_ ? source_->DataSet() : nullptr; }

private:
    void unlink()
    {
        for (const auto& link : std::as_const(links_))
            QObject::disconnect(link);
        links_.clear();
    }

    QObject* control_;
    std::function<void()> changed_;
    QPointer<TDataSource> source_;
    QList<QMetaObject::Connection> links_;
};

} // namespace krt
