#pragma once

// Records what the code under test writes to Qt's log while it lives (the
// host's log: where the technical side of a failure goes, never to the
// clerk). Lines read "<category>: <text>"; they are passed on to the handler
// that was installed before, so the test's output still shows them.

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class LogCapture
{
public:
    LogCapture()
    {
        QMutexLocker lock(&mutex());
        current() = this;
        previous() = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(previous());
        QMutexLocker lock(&mutex());
        current() = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QString text() const
    {
        QMutexLocker lock(&mutex());
        return lines_.join(u'\n');
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        {
            QMutexLocker lock(&mutex());
            if (current())
                current()->lines_ << QStringLiteral("%1: %2").arg(
                    QString::fromUtf8(context.category ? context.category : "default"), text);
        }
        if (previous())
            previous()(type, context, text);
    }
    static QMutex& mutex()
    {
        static QMutex m;
        return m;
    }
    static LogCapture*& current()
    {
        static LogCapture* c = nullptr;
        return c;
    }
    static QtMessageHandler& previous()
    {
        static QtMessageHandler h = nullptr;
        return h;
    }

    QStringList lines_;
};
