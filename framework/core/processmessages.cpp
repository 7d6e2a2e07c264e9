#include "framework/core/processmessages.h"

#include <QCoreApplication>

void ProcessMessages()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
