#include "haproxyprocess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

HaproxyProcess::~HaproxyProcess()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QString HaproxyProcess::program()
{
    QString found = QStandardPaths::findExecutable(QStringLiteral("haproxy"));
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(
            QStringLiteral("haproxy"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return found;
}

QString HaproxyProcess::output()
{
    output_ +=
        QString::fromUtf8(process_.readAllStandardOutput() + process_.readAllStandardError());
    return output_;
}

bool HaproxyProcess::start(const QList<quint16>& backends, const QString& pemFile)
{
    port_ = freeLoopbackPort();
    QByteArray config = "global\n"
                        "    log stdout format raw local0 info\n"
                        "    maxconn 512\n"
                        "defaults\n"
                        "    mode http\n"
                        "    log global\n"
                        "    option http-keep-alive\n"
                        "    timeout connect 2s\n"
                        "    timeout http-request 10s\n"
                        "    timeout http-keep-alive 5s\n"
                        "    timeout server 60s\n"
                        "    timeout client 60s\n"
                        "    retries 2\n"
                        "    option redispatch 1\n"
                        "frontend krt\n"
                        "    bind 127.0.0.1:" +
                        QByteArray::number(port_) + " ssl crt " + QFile::encodeName(pemFile) +
                        " alpn http/1.1\n"
                        "    http-request del-header X-Forwarded-For\n"
                        "    option forwardfor\n"
                        "    default_backend krt_appservers\n"
                        "backend krt_appservers\n"
                        "    balance roundrobin\n"
                        "    option httpchk\n"
                        "    http-check send meth GET uri /healthz\n"
                        "    http-check expect status 200\n"
                        "    default-server inter 200ms fall 1 rise 1 check\n";
    for (int i = 0; i < backends.size(); ++i)
        config += "    server app" + QByteArray::number(i + 1) +
                  " 127.0.0.1:" + QByteArray::number(backends[i]) + "\n";
    QFile file(dir_.filePath(QStringLiteral("haproxy.cfg")));
    if (!file.open(QIODevice::WriteOnly) || file.write(config) != config.size()) {
        error = QStringLiteral("não foi possível gravar a configuração");
        return false;
    }
    file.close();
    process_.start(program(), {QStringLiteral("-db"), QStringLiteral("-f"), file.fileName()});
    if (!process_.waitForStarted(5000)) {
        error = QStringLiteral("haproxy não iniciou");
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 20000) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port_);
        if (probe.waitForConnected(500))
            return true;
        if (process_.waitForFinished(50))
            break;
    }
    error = QStringLiteral("haproxy não ficou pronto: %1").arg(output());
    return false;
}
