#pragma once

#include "framework/widgets/buttonflat.h"

#include <QPointer>

#include "framework/data/dataset.h"
#include "framework/data/datasource.h"

// Lookup button next to an edit. A click runs OnClick when one is set;
// otherwise: OnBeforePesq (which may cancel), then — unless the data source
// is empty, which raises the empty-list error — a single-pick list of the
// source; when a row is picked the data set stands on it and OnAfterPesq runs.
// F4 or Alt+Down in the button's control does what a click does, as in a
// combo box (the button itself never takes the focus).
class TBtnPesquisa : public TButtonFlat
{
    Q_OBJECT
public:
    explicit TBtnPesquisa(QWidget* parent = nullptr);

    void setControl(QWidget* control);
    QWidget* Control() const { return m_control; }
    void setTitle(const QString& title) { m_title = title; }
    QString Title() const { return m_title; }
    void setDataSource(TDataSource* source) { m_source = source; }
    TDataSource* DataSource() const { return m_source; }
    void setEmptyListError(const QString& text) { m_emptyError = text; }
    QString EmptyListError() const { return m_emptyError; }
    // Field whose value identifies the picked row (default: the first field).
    void setKeyField(const QString& field) { m_keyField = field; }
    QString KeyField() const;

    // The built-in lookup (what a click does when OnClick is not set).
    void Pesquisa();

    std::function<void(QObject* sender, bool& cancel)> OnBeforePesq;
    krt::TNotifyEvent OnAfterPesq;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_control;
    QString m_title;
    QPointer<TDataSource> m_source;
    QString m_emptyError;
    QString m_keyField;
};
