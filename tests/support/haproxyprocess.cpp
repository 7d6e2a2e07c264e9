#include "haproxyprocess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QSslSocket>
#include <QStandardPaths>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A TCP socket bound to a free port of 127.0.0.1 and listening, closed on
// exec unless handed over; -1 when the system refuses one.
int listeningLoopbackSocket()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 128) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

quint16 portOf(int fd)
{
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

} // namespace

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

bool HaproxyProcess::start(const QList<quint16>& backends, const QString& certFile,
                           const QString& keyFile)
{
    // HAProxy takes the certificate and its key from one file.
    const QString pemFile = dir_.filePath(QStringLiteral("front.pem"));
    {
        QFile pem(pemFile);
        if (!pem.open(QIODevice::WriteOnly)) {
            error = QStringLiteral("não foi possível gravar o certificado");
            return false;
        }
        for (const QString& part : {certFile, keyFile}) {
            QFile in(part);
            if (!in.open(QIODevice::ReadOnly) || pem.write(in.readAll()) < 0) {
                error = QStringLiteral("não foi possível ler %1").arg(part);
                return false;
            }
        }
    }
    // HAProxy takes over a socket bound here (bind fd@N) instead of a port
    // chosen here and bound there: in between, another test could take it.
    const int listener = listeningLoopbackSocket();
    if (listener < 0) {
        error = QStringLiteral("nenhuma porta livre no 127.0.0.1");
        return false;
    }
    port_ = portOf(listener);
    QByteArray config = "global\n"
                        "    log stdout format raw local0 info\n"
                        "    maxconn 512\n"
                        "    stats socket " +
                        QFile::encodeName(statsPath()) +
                        " mode 600 level user\n"
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
                        "    bind fd@" +
                        QByteArray::number(listener) + " ssl crt " + QFile::encodeName(pemFile) +
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
        ::close(listener);
        error = QStringLiteral("não foi possível gravar a configuração");
        return false;
    }
    file.close();
    // Only HAProxy keeps the socket open across its exec.
    process_.setChildProcessModifier([listener] { ::fcntl(listener, F_SETFD, 0); });
    process_.start(program(), {QStringLiteral("-db"), QStringLiteral("-f"), file.fileName()});
    // Started or not, the test's copy goes: it must not take HAProxy's calls.
    ::close(listener);
    if (!process_.waitForStarted(5000)) {
        error = QStringLiteral("haproxy não iniciou");
        return false;
    }
    // The socket accepts into its queue from the start: HAProxy serves it
    // once the probe's TLS handshake goes through.
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 20000) {
        QSslSocket probe;
        probe.setPeerVerifyMode(QSslSocket::VerifyNone);
        probe.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port_);
        if (probe.waitForEncrypted(1000))
            return true;
        if (process_.state() == QProcess::NotRunning)
            break;
    }
    error = QStringLiteral("haproxy não ficou pronto: %1").arg(output());
    return false;
}

QString HaproxyProcess::statsPath() const
{
    return dir_.filePath(QStringLiteral("stats.sock"));
}

std::pair<qint64, qint64> HaproxyProcess::backendBytes()
{
    QLocalSocket socket;
    socket.connectToServer(statsPath());
    if (!socket.waitForConnected(2000))
        return {-1, -1};
    socket.write("show stat\n");
    socket.waitForBytesWritten(2000);
    // It answers and closes.
    QByteArray csv;
    while (socket.state() == QLocalSocket::ConnectedState && socket.waitForReadyRead(2000))
        csv += socket.readAll();
    csv += socket.readAll();
    const QList<QByteArray> lines = csv.split('\n');
    if (lines.isEmpty() || !lines.first().startsWith("# "))
        return {-1, -1};
    const QList<QByteArray> names = lines.first().mid(2).split(',');
    const qsizetype in = names.indexOf("bin"), out = names.indexOf("bout");
    if (in < 0 || out < 0)
        return {-1, -1};
    for (const QByteArray& line : lines) {
        const QList<QByteArray> cells = line.split(',');
        if (cells.size() > std::max(in, out) && cells[0] == "krt_appservers" &&
            cells[1] == "BACKEND")
            return {cells[in].toLongLong(), cells[out].toLongLong()};
    }
    return {-1, -1};
}
