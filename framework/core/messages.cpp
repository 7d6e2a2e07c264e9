#include "framework/core/messages.h"

#include "framework/core/hostservices.h"

TMessages::TMessages(QObject* parent) : QObject(parent) {}

TMessages::TMessages(const QStringList& items, QObject* parent) : QObject(parent), m_items(items) {}

void TMessages::add(const QString& key, const QString& text)
{
    m_items.append(key + QLatin1Char('|') + text);
}

namespace {

// Index of the entry for key, or -1. The key is everything before the first '|'.
qsizetype findEntry(const QStringList& items, const QString& key)
{
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString& entry = items.at(i);
        const qsizetype bar = entry.indexOf(QLatin1Char('|'));
        const QStringView entryKey = bar < 0 ? QStringView(entry) : QStringView(entry).left(bar);
        if (entryKey.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace

bool TMessages::contains(const QString& key) const
{
    return findEntry(m_items, key) >= 0;
}

QString TMessages::Msg(const QString& key) const
{
    const qsizetype i = findEntry(m_items, key);
    if (i < 0)
        return QString();
    const QString& entry = m_items.at(i);
    const qsizetype bar = entry.indexOf(QLatin1Char('|'));
    return bar < 0 ? QString() : entry.mid(bar + 1);
}

TModalResult TMessages::ShowMsg(const QString& key, TMsgDlgType type, TMsgDlgButtons buttons,
                                int helpCtx) const
{
    const QString text =
        contains(key) ? Msg(key) : QStringLiteral("Mensagem não cadastrada: %1").arg(key);
    return krt::hostServices().messageDlg(text, type, buttons, helpCtx);
}
