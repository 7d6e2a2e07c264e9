#include "framework/widgets/menuitem.h"

#include <QMenu>
#include <QMenuBar>
#include <QWidget>

TMenuItem::TMenuItem(const QString& caption, QObject* parent) : QAction(parent)
{
    setCaption(caption);
    setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(this, &QAction::triggered, this, [this] { Click(); });
}

void TMenuItem::setCaption(const QString& caption)
{
    setSeparator(caption == QLatin1String("-"));
    setText(caption == QLatin1String("-") ? QString() : caption);
    if (menu())
        menu()->setTitle(text());
}

void TMenuItem::setShortCut(const QKeySequence& shortcut)
{
    setShortcut(shortcut);
}

void TMenuItem::setShortCut(int classicShortCut)
{
    setShortcut(shortCutFromClassic(classicShortCut));
}

QKeySequence TMenuItem::shortCutFromClassic(int classicShortCut)
{
    const int code = classicShortCut & 0xFF;
    if (code == 0)
        return QKeySequence();
    Qt::KeyboardModifiers mods;
    if (classicShortCut & 0x2000)
        mods |= Qt::ShiftModifier;
    if (classicShortCut & 0x4000)
        mods |= Qt::ControlModifier;
    if (classicShortCut & 0x8000)
        mods |= Qt::AltModifier;
    int key = 0;
    if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9'))
        key = code; // Qt::Key_A.. and Qt::Key_0.. have the same codes
    else if (code >= 0x70 && code <= 0x87)
        key = Qt::Key_F1 + (code - 0x70);
    else if (code == 0x2E)
        key = Qt::Key_Delete;
    else if (code == 0x2D)
        key = Qt::Key_Insert;
    else if (code == 0x0D)
        key = Qt::Key_Return;
    else if (code == 0x1B)
        key = Qt::Key_Escape;
    else
        return QKeySequence();
    return QKeySequence(QKeyCombination(mods, Qt::Key(key)));
}

void TMenuItem::setItemChecked(bool checked)
{
    setCheckable(true);
    setChecked(checked);
}

QMenu* TMenuItem::ensureMenu()
{
    if (!menu()) {
        auto* m = new QMenu();
        m->setTitle(text());
        setMenu(m);
        connect(this, &QObject::destroyed, m, &QObject::deleteLater);
    }
    return menu();
}

void TMenuItem::attachChild(int index, TMenuItem* item)
{
    QMenu* m = ensureMenu();
    QAction* before = m_items.value(index);
    m_items.insert(index, item);
    item->m_parentItem = this;
    if (!item->parent())
        item->setParent(this);
    m->insertAction(before, item);
    if (m_shortcutHost)
        item->setShortcutHost(m_shortcutHost);
}

void TMenuItem::Add(TMenuItem* item)
{
    attachChild(Count(), item);
}

void TMenuItem::Insert(int index, TMenuItem* item)
{
    attachChild(qBound(0, index, Count()), item);
}

void TMenuItem::InsertAfter(TMenuItem* anchor, TMenuItem* item)
{
    const int at = IndexOf(anchor);
    attachChild(at < 0 ? Count() : at + 1, item);
}

void TMenuItem::InsertBefore(TMenuItem* anchor, TMenuItem* item)
{
    const int at = IndexOf(anchor);
    attachChild(at < 0 ? Count() : at, item);
}

void TMenuItem::setShortcutHost(QWidget* host)
{
    if (m_shortcutHost && m_shortcutHost != host)
        m_shortcutHost->removeAction(this);
    m_shortcutHost = host;
    if (host && !isSeparator())
        host->addAction(this);
    for (TMenuItem* child : std::as_const(m_items))
        child->setShortcutHost(host);
}

void TMenuItem::Click()
{
    if (OnClick)
        krt::invokeHandler("OnClick", [this] { OnClick(this); });
}

void addToMenuBar(QMenuBar* bar, TMenuItem* item)
{
    if (item->menu())
        item->menu()->setTitle(item->text());
    bar->addAction(item);
}
