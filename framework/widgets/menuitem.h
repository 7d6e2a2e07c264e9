#pragma once

#include "framework/core/handlerboundary.h"

#include <QAction>
#include <QList>
#include <QPointer>

class QMenu;
class QMenuBar;

// A menu command: caption with its '&' accelerator, shortcut, Enabled,
// Checked and OnClick (run through the handler boundary with the item as
// sender). An item with children is a submenu; a caption of "-" makes a
// separator. Shortcuts are registered on the owning form (see
// setShortcutHost) so that they work while that form holds the focus, also
// when its menu is not open.
class TMenuItem : public QAction
{
    Q_OBJECT
public:
    explicit TMenuItem(const QString& caption, QObject* parent = nullptr);

    QString Caption() const { return text(); }
    void setCaption(const QString& caption);

    // Keyboard shortcut, as text ("Ctrl+L") or as the classic number
    // (modifier bits 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt plus the key code: 16460 = Ctrl+L).
    void setShortCut(const QKeySequence& shortcut);
    void setShortCut(int classicShortCut);
    static QKeySequence shortCutFromClassic(int classicShortCut);

    bool Enabled() const { return isEnabled(); }
    bool Checked() const { return isChecked(); }
    // Marks the item as checked (makes it checkable first).
    void setItemChecked(bool checked);

    // Children.
    int Count() const { return int(m_items.size()); }
    TMenuItem* Items(int index) const { return m_items.value(index); }
    int IndexOf(TMenuItem* item) const { return int(m_items.indexOf(item)); }
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    void InsertAfter(TMenuItem* anchor, TMenuItem* item);
    void InsertBefore(TMenuItem* anchor, TMenuItem* item);
    TMenuItem* Parent() const { return m_parentItem; }

    // The widget whose focus makes the shortcuts of this item and all its
    // children live; children added later inherit it.
    void setShortcutHost(QWidget* host);

    // Runs OnClick as a menu choice does.
    void Click();

    krt::TNotifyEvent OnClick;

private:
    QMenu* ensureMenu();
    void attachChild(int index, TMenuItem* item);

    QList<TMenuItem*> m_items;
    TMenuItem* m_parentItem = nullptr;
    QPointer<QWidget> m_shortcutHost;
};

// Builds a menu bar from top-level items.
void addToMenuBar(QMenuBar* bar, TMenuItem* item);
