#include "framework/net/netconnection.h"

#include "framework/core/errors.h"
#include "framework/core/usercontext.h"
#include "framework/wire/httptransport.h"

#include <QLoggingCategory>

// Calls that never left because the connection could not be opened.
Q_LOGGING_CATEGORY(lcNet, "krt.net")

TNetConnection::TNetConnection(QObject* parent) : QObject(parent) {}

TNetConnection::~TNetConnection() = default;

QString TNetConnection::address() const
{
    return QStringLiteral("%1:%2").arg(host_).arg(port_);
}

void TNetConnection::setConnected(bool connected)
{
    if (connected == Connected())
        return;
    wanted_ = connected;
    if (!connected) {
        client_.reset();
        emit connectedChanged(false);
        return;
    }

    if (BeforeConnect)
        BeforeConnect(this);

    // A failure found here is put in context; the transport's own texts
    // already say that connecting failed.
    QString failure;
    krt::ErrorCode code = krt::ErrorCode::NotConnected;
    if (host_.trimmed().isEmpty())
        failure = QStringLiteral("endereço do servidor não informado.");
    else if (port_ <= 0 || port_ > 65535)
        failure = QStringLiteral("porta inválida (%1).").arg(port_);
    else if (!krt::isValidCallName(serverName_))
        failure = QStringLiteral("nome do objeto remoto inválido (\"%1\").").arg(serverName_);

    auto client = std::make_unique<krt::HttpCallClient>(host_, quint16(port_), timeoutMs_);
    if (maxReplyBytes_ > 0)
        client->setMaxReplyBytes(maxReplyBytes_);
    if (failure.isEmpty()) {
        const krt::UserContext& context = krt::userContext();
        const QString user = user_.isEmpty() ? context.serverUser : user_;
        const QString password = user_.isEmpty() ? context.serverPassword : password_;
        const QString caFile = caFile_.isEmpty() ? context.serverCaFile : caFile_;
        try {
            if (!caFile.isEmpty())
                client->setTls(caFile);
        } catch (const krt::Error& e) {
            failure = e.text();
            code = e.code();
        }
        if (failure.isEmpty()) {
            try {
                client->ping();
                // A wrong password shows when the screen opens, not at its first call.
                if (!user.isEmpty()) {
                    client->setCredentials(user, password);
                    client->login();
                }
            } catch (const krt::Error& e) {
                lastError_ = e.text();
                lastCode_ = e.code();
                if (throwException_)
                    throw;
                return;
            }
        }
    }
    if (!failure.isEmpty()) {
        lastError_ = QStringLiteral("Falha ao conectar ao servidor de aplicação %1 (%2): %3")
                         .arg(address(), serverName_, failure);
        lastCode_ = code;
        if (throwException_)
            throw EKrtError(code, lastError_);
        return;
    }
    lastError_.clear();
    lastCode_ = krt::ErrorCode::Unspecified;
    client_ = std::move(client);
    emit connectedChanged(true);
}

krt::Variant TNetConnection::callRemote(const QString& method, const QList<krt::Variant>& args)
{
    if (!client_ && wanted_) {
        // The server could not be reached when the connection was opened:
        // try again now, so that a server that has come back serves this call
        // without the screen being opened again.
        const bool raise = throwException_;
        throwException_ = false;
        try {
            setConnected(true);
        } catch (...) {
            throwException_ = raise;
            throw;
        }
        throwException_ = raise;
        if (!client_) {
            // Why the opening failed is the whole story for the clerk (for a
            // server out of reach, what to do about it); which call it held
            // up is for the log.
            qCWarning(lcNet).noquote()
                << QStringLiteral("%1 of %2 not sent: the connection to %3 could not be opened")
                       .arg(method, serverName_, address());
            throw EKrtError(lastCode_, lastError_);
        }
    }
    if (!client_)
        throw EKrtError(krt::ErrorCode::NotConnected,
                        QStringLiteral("Falha ao chamar %1: a conexão com o servidor de aplicação "
                                       "não está aberta.")
                            .arg(method));
    return client_->call(serverName_, method, args);
}

krt::Variant TNetAppServer::call(const QString& method, const QList<krt::Variant>& args) const
{
    return connection_->callRemote(method, args);
}
