#pragma once

#include "framework/core/dialogtypes.h"

#include <QObject>
#include <QStringList>

// A form's keyed message table. Each entry is "KEY|Text"; code always shows a
// message by its key so that the texts live in one place per form.
class TMessages : public QObject
{
    Q_OBJECT
public:
    explicit TMessages(QObject* parent = nullptr);
    TMessages(const QStringList& items, QObject* parent = nullptr);

    void setItems(const QStringList& items) { m_items = items; }
    const QStringList& Items() const { return m_items; }
    void add(const QString& key, const QString& text);

    bool contains(const QString& key) const;

    // The text of the first entry whose key matches (case-insensitively, as
    // keys are typed by hand); an empty text when the table holds no such key.
    QString Msg(const QString& key) const;

    // Shows the text of `key` through the host's message dialog.
    TModalResult ShowMsg(const QString& key, TMsgDlgType type, TMsgDlgButtons buttons,
                         int helpCtx) const;

private:
    QStringList m_items;
};
