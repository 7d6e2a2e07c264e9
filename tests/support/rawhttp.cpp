#include "rawhttp.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

RawConnection::RawConnection(quint16 port, const char* fromAddress)
{
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return;
    if (fromAddress) {
        sockaddr_in from{};
        from.sin_family = AF_INET;
        if (::inet_pton(AF_INET, fromAddress, &from.sin_addr) != 1 ||
            ::bind(fd_, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

RawConnection::RawConnection(RawConnection&& other) noexcept : fd_(other.fd_)
{
    other.fd_ = -1;
}

RawConnection::~RawConnection()
{
    close();
}

void RawConnection::resetOnClose()
{
    const linger abort{1, 0};
    if (fd_ >= 0)
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
}

void RawConnection::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool RawConnection::send(const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (fd_ >= 0 && sent < bytes.size()) {
        const ssize_t n =
            ::send(fd_, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    return fd_ >= 0;
}

QByteArray RawConnection::readUntil(const QByteArray& until, int timeoutMs)
{
    QByteArray out;
    char buffer[65536];
    while (fd_ >= 0) {
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, timeoutMs);
        if (ready <= 0)
            break;
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        out.append(buffer, qsizetype(n));
        if (!until.isEmpty() && out.contains(until))
            break;
    }
    return out;
}

QByteArray RawConnection::readAll(int timeoutMs)
{
    return readUntil({}, timeoutMs);
}

bool RawConnection::closedByPeer(int timeoutMs)
{
    char buffer[4096];
    while (fd_ >= 0) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return false;
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0)
            return true;
    }
    return true;
}

QByteArray rawExchange(quint16 port, const QByteArray& request, int quietMs)
{
    RawConnection c(port);
    if (!c.isOpen())
        return {};
    c.send(request);
    return c.readAll(quietMs);
}

int statusOf(const QByteArray& response)
{
    if (!response.startsWith("HTTP/1."))
        return 0;
    return response.mid(9, 3).toInt();
}

QByteArray bodyOf(const QByteArray& response)
{
    const qsizetype end = response.indexOf("\r\n\r\n");
    if (end < 0)
        return {};
    const QByteArray head = response.left(end).toLower();
    const qsizetype at = head.indexOf("content-length:");
    if (at < 0)
        return {};
    const qsizetype eol = head.indexOf("\r\n", at);
    const int length = head.mid(at + 15, eol < 0 ? -1 : eol - at - 15).trimmed().toInt();
    return response.mid(end + 4, length);
}

int answerCount(const QByteArray& response)
{
    return int(response.count("HTTP/1.1 "));
}

RawListener::RawListener(Serve serve)
{
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd_, 16) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        return;
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this, serve = std::move(serve)] {
        while (!stopping_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            RawConnection peer;
            peer.fd_ = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (peer.fd_ >= 0)
                serve(peer);
        }
    });
}

RawListener::~RawListener()
{
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
    if (fd_ >= 0)
        ::close(fd_);
}
