#pragma once

#include "framework/core/handlerboundary.h"

#include <QList>
#include <QWidget>

class QStackedWidget;
class QTabBar;
class TPageControl;

// One page of a TPageControl. Disabling the page (setEnabled(false)) also
// disables its tab; a disabled page cannot be made active.
class TTabSheet : public QWidget
{
    Q_OBJECT
public:
    TTabSheet(TPageControl* pageControl, const QString& caption);

    TPageControl* PageControl() const { return m_pageControl; }
    QString Caption() const { return m_caption; }
    void setCaption(const QString& caption);
    int PageIndex() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    TPageControl* m_pageControl;
    QString m_caption;
};

// Tabs over a stack of pages. The page in front changes only through
// SetActivePage, also when the user clicks a tab (the click asks
// SetActivePage, which refuses a disabled page). Ctrl+Tab and Ctrl+Shift+Tab,
// with the focus anywhere inside the control, bring the next or the previous
// enabled page to the front (the grids keep Ctrl+PgUp/PgDn for themselves).
class TPageControl : public QWidget
{
    Q_OBJECT
public:
    explicit TPageControl(QWidget* parent = nullptr);

    int PageCount() const { return int(m_pages.size()); }
    TTabSheet* Pages(int index) const { return m_pages.value(index); }
    TTabSheet* ActivePage() const { return m_active; }
    int ActivePageIndex() const;

    // Brings the page to the front; false when it is not one of this
    // control's pages or is disabled.
    bool SetActivePage(TTabSheet* page);

    QTabBar* tabBar() const { return m_tabBar; }

    // Brings the next enabled page (step 1) or the previous one (step -1) to
    // the front, going round; false when no other page can come.
    bool SelectNextPage(int step);

    // After the page in front changed.
    krt::TNotifyEvent OnChange;

private:
    friend class TTabSheet;
    void addPage(TTabSheet* page);
    void pageChanged(TTabSheet* page);
    void tabRequested(int index);

    QTabBar* m_tabBar;
    QStackedWidget* m_stack;
    QList<TTabSheet*> m_pages;
    TTabSheet* m_active = nullptr;
    bool m_switching = false;
};
