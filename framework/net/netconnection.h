#pragma once

#include "framework/wire/errors.h"
#include "framework/wire/variant.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace krt {
class HttpCallClient;
}

class TNetConnection;

// The late-bound handle of a connection's remote object: methods are called by
// name. Valid as long as its connection lives.
class TNetAppServer
{
public:
    explicit TNetAppServer(TNetConnection* connection) : connection_(connection) {}

    // Calls `method` of the connection's remote object, synchronously. Any
    // failure (connection closed, server unreachable, time-out, the server's
    // error) throws EKrtError whose text names the method.
    krt::Variant call(const QString& method, const QList<krt::Variant>& args = {}) const;

private:
    TNetConnection* connection_;
};

// Connection to one remote object of the application server (ServerName) at
// Host:Port. Opening runs BeforeConnect first (which usually fills in Host and
// Port), then checks that the server answers and logs in. The user, password
// and CA file come from the host's user context (krt::userContext()) unless
// set on the connection itself; with a CA file the connection talks TLS and
// accepts only a server certificate from those CAs.
//
// With ThrowException on, a failure to open throws EKrtError; with it off the
// connection stays closed and LastError() tells why. A call made while a
// failed opening is still wanted (not closed since) tries to open again first;
// when that fails too the call raises that failure (LastError(), with its
// code), and after Close() it raises NotConnected.
class TNetConnection : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Host READ Host WRITE setHost)
    Q_PROPERTY(int Port READ Port WRITE setPort)
    Q_PROPERTY(QString ServerName READ ServerName WRITE setServerName)
    Q_PROPERTY(bool Connected READ Connected WRITE setConnected NOTIFY connectedChanged)
    Q_PROPERTY(bool ThrowException READ ThrowException WRITE setThrowException)

public:
    static constexpr int kDefaultTimeoutMs = 120000;

    explicit TNetConnection(QObject* parent = nullptr);
    ~TNetConnection() override;

    QString Host() const { return host_; }
    void setHost(const QString& host) { host_ = host; }
    int Port() const { return port_; }
    void setPort(int port) { port_ = port; }
    QString ServerName() const { return serverName_; }
    void setServerName(const QString& name) { serverName_ = name; }
    bool ThrowException() const { return throwException_; }
    void setThrowException(bool on) { throwException_ = on; }
    // How long one call may take before it fails (milliseconds).
    int TimeoutMs() const { return timeoutMs_; }
    void setTimeoutMs(int ms) { timeoutMs_ = ms > 0 ? ms : kDefaultTimeoutMs; }

    // Override the user context's credentials and CA file for this connection.
    void setCredentials(const QString& user, const QString& password)
    {
        user_ = user;
        password_ = password;
    }
    void setCaFile(const QString& file) { caFile_ = file; }
    // The largest answer a call may bring (0: the transport's default,
    // krt::kDefaultMaxReplyBytes). Takes effect at the next opening.
    qint64 MaxReplyBytes() const { return maxReplyBytes_; }
    void setMaxReplyBytes(qint64 bytes) { maxReplyBytes_ = bytes > 0 ? bytes : 0; }

    bool Connected() const { return client_ != nullptr; }
    // true opens (BeforeConnect, then the server check), false closes. Setting
    // the state it already has does nothing.
    void setConnected(bool connected);
    void Open() { setConnected(true); }
    void Close() { setConnected(false); }

    // Why the last opening failed, as the clerk is told; empty after a
    // successful one.
    QString LastError() const { return lastError_; }

    TNetAppServer AppServer() { return TNetAppServer(this); }

    // Runs before every opening with this connection as the sender. An
    // exception from it ends the opening and reaches the caller.
    std::function<void(QObject* sender)> BeforeConnect;

signals:
    void connectedChanged(bool connected);

private:
    friend class TNetAppServer;
    krt::Variant callRemote(const QString& method, const QList<krt::Variant>& args);
    QString address() const;

    QString host_;
    int port_ = 0;
    QString serverName_;
    bool throwException_ = true;
    int timeoutMs_ = kDefaultTimeoutMs;
    QString lastError_;
    krt::ErrorCode lastCode_ = krt::ErrorCode::Unspecified;
    bool wanted_ = false; // the last setConnected asked for an open connection
    QString user_;
    QString password_;
    QString caFile_;
    qint64 maxReplyBytes_ = 0;
    std::unique_ptr<krt::HttpCallClient> client_;
};
