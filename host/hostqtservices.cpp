#include "host/hostqtservices.h"

#include "framework/core/busyindicator.h"

#include <QStatusBar>
#include <cstdio>

void HostQtServices::showError(const QString& text)
{
    if (m_errorsToConsole) {
        std::fprintf(stderr, "krt-host: %s\n", qPrintable(text));
        return;
    }
    krt::QtHostServices::showError(text);
}

void HostQtServices::busyChanged(int depth, int kind)
{
    krt::QtHostServices::busyChanged(depth, kind);
    if (!m_statusBar)
        return;
    if (depth > 0)
        m_statusBar->showMessage(krt::busyText(krt::busyKind()));
    else
        m_statusBar->clearMessage();
}
