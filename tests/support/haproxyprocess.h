#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <utility>

// HAProxy as the deployment runs it (deploy/haproxy.cfg): TLS ends at its
// front, calls go round robin to the application servers on the loopback
// without stickiness, each server checked on GET /healthz. Its own
// configuration (its front a socket bound here on a free port and inherited,
// checks every 200 ms so that a dead server leaves the rotation within the
// test's patience, a stats socket for the bytes it passed), run as an
// unprivileged foreground process (haproxy -db -f FILE). The balancer test
// and bench-stores --balancer both start it.
class HaproxyProcess
{
public:
    ~HaproxyProcess();

    // The haproxy program, or an empty text when it is not installed.
    static QString program();

    // Starts it on a free port of 127.0.0.1 in front of `backends` (ports on 127.0.0.1),
    // ending TLS with the certificate `certFile` and its key `keyFile` (PEM);
    // false (with `error`) when it does not start or its front does not answer.
    bool start(const QList<quint16>& backends, const QString& certFile, const QString& keyFile);
    quint16 port() const { return port_; }
    qint64 pid() const { return process_.processId(); }
    // What HAProxy printed (its own log lines: servers going up or down).
    QString output();
    // Bytes the servers' side has taken from the clients (requests, as
    // forwarded) and given back (answers) so far, health checks aside;
    // {-1, -1} when its stats socket does not answer.
    std::pair<qint64, qint64> backendBytes();
    QString error;

private:
    QString statsPath() const;
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
    QString output_;
};
