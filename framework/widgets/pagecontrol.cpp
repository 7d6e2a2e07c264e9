#include "framework/widgets/pagecontrol.h"

#include <QEvent>
#include <QShortcut>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

TTabSheet::TTabSheet(TPageControl* pageControl, const QString& caption)
    : QWidget(nullptr), m_pageControl(pageControl), m_caption(caption)
{
    pageControl->addPage(this);
}

void TTabSheet::setCaption(const QString& caption)
{
    m_caption = caption;
    m_pageControl->pageChanged(this);
}

int TTabSheet::PageIndex() const
{
    return int(m_pageControl->m_pages.indexOf(const_cast<TTabSheet*>(this)));
}

void TTabSheet::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        m_pageControl->pageChanged(this);
    QWidget::changeEvent(event);
}

TPageControl::TPageControl(QWidget* parent)
    : QWidget(parent), m_tabBar(new QTabBar(this)), m_stack(new QStackedWidget(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_tabBar);
    layout->addWidget(m_stack, 1);
    m_tabBar->setExpanding(false);
    connect(m_tabBar, &QTabBar::currentChanged, this, &TPageControl::tabRequested);
    for (auto [keys, step] : {std::pair{QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
                              std::pair{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
                              std::pair{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1}}) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, step = step] {
            krt::invokeHandler("TPageControl.OnChange", [this, step] { SelectNextPage(step); });
        });
    }
}

bool TPageControl::SelectNextPage(int step)
{
    const int count = PageCount();
    const int from = ActivePageIndex();
    for (int i = 1; i < count; ++i) {
        TTabSheet* page = m_pages.value(((from + step * i) % count + count) % count);
        if (page && page->isEnabled())
            return SetActivePage(page);
    }
    return false;
}

int TPageControl::ActivePageIndex() const
{
    return int(m_pages.indexOf(m_active));
}

void TPageControl::addPage(TTabSheet* page)
{
    m_pages.append(page);
    m_stack->addWidget(page);
    m_switching = true;
    m_tabBar->addTab(page->Caption());
    m_switching = false;
    // A hidden tab bar does not tell its layout that it grew: the layout
    // would keep the empty bar's height of zero.
    m_tabBar->updateGeometry();
    if (!m_active) {
        m_active = page;
        m_switching = true;
        m_tabBar->setCurrentIndex(0);
        m_stack->setCurrentWidget(page);
        m_switching = false;
    } else {
        // Adding a tab can move the bar's current index; keep the real page in front.
        m_switching = true;
        m_tabBar->setCurrentIndex(ActivePageIndex());
        m_switching = false;
    }
}

void TPageControl::pageChanged(TTabSheet* page)
{
    const int index = int(m_pages.indexOf(page));
    if (index < 0)
        return;
    // Qt moves the bar off a tab that gets disabled; the page in front stays.
    m_switching = true;
    m_tabBar->setTabText(index, page->Caption());
    m_tabBar->updateGeometry();
    m_tabBar->setTabEnabled(index, page->isEnabled());
    m_tabBar->setCurrentIndex(ActivePageIndex());
    m_switching = false;
}

bool TPageControl::SetActivePage(TTabSheet* page)
{
    const int index = int(m_pages.indexOf(page));
    if (index < 0 || !page->isEnabled())
        return false;
    if (page == m_active)
        return true;
    m_active = page;
    m_switching = true;
    m_tabBar->setCurrentIndex(index);
    m_stack->setCurrentWidget(page);
    m_switching = false;
    if (OnChange)
        OnChange(this);
    return true;
}

void TPageControl::tabRequested(int index)
{
    if (m_switching)
        return;
    // The bar moved on its own (a click or a key): put it back and let
    // SetActivePage decide.
    m_switching = true;
    m_tabBar->setCurrentIndex(ActivePageIndex());
    m_switching = false;
    TTabSheet* requested = m_pages.value(index);
    krt::invokeHandler("TPageControl.OnChange", [this, requested] { SetActivePage(requested); });
}
