#pragma once

// A call server that wants a login, as krt-appserver does, for the tests of
// the client side (the screen's connection, the host's login at start). Users
// and their fixed branch are scripted; every call answers its method's name
// and the user who made it.

#include "appserver/http/httpcallserver.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <memory>

class LoginServer
{
public:
    struct User
    {
        QString password;
        QString fixedBranch;
    };

    explicit LoginServer(QHash<QString, User> users) : users_(std::move(users))
    {
        server_ = std::make_unique<krt::HttpCallServer>(
            QStringLiteral("127.0.0.1"), 0, 1 << 20,
            [this](const QString& object, const QString& method, const QList<krt::Variant>& args,
                   const krt::CallContext& context) {
                return handle(object, method, args, context);
            });
        server_->setRequestGate([this](krt::CallContext& context) {
            if (context.object == QLatin1String(krt::kSessionObject))
                return;
            QMutexLocker lock(&mutex_);
            if (!tokens_.contains(context.bearerToken))
                throw krt::Error(krt::ErrorCode::NotAuthenticated,
                                 QStringLiteral("Chamada de %1 recusada: não "
                                                "autenticado.")
                                     .arg(context.method));
            context.identity = std::make_shared<const QString>(tokens_.value(context.bearerToken));
        });
        server_->start();
    }
    ~LoginServer() { server_->stop(); }

    quint16 port() const { return server_->port(); }
    int logins() const
    {
        QMutexLocker lock(&mutex_);
        return logins_;
    }
    // Forgets every token, as a restarted server would.
    void forgetSessions()
    {
        QMutexLocker lock(&mutex_);
        tokens_.clear();
    }

private:
    krt::Variant handle(const QString& object, const QString& method,
                        const QList<krt::Variant>& args, const krt::CallContext& context)
    {
        QMutexLocker lock(&mutex_);
        if (object == QLatin1String(krt::kSessionObject)) {
            ++logins_;
            const QString name = args.value(0).asString();
            if (!users_.contains(name) || users_.value(name).password != args.value(1).asString())
                throw krt::Error(krt::ErrorCode::NotAuthenticated,
                                 QStringLiteral("Usuário ou senha inválidos."));
            krt::SessionInfo info;
            info.token = QStringLiteral("token-%1-%2").arg(name).arg(logins_);
            info.user = name;
            info.fixedBranch = users_.value(name).fixedBranch;
            info.allBranches = info.fixedBranch.isEmpty();
            if (!info.allBranches)
                info.branches = {info.fixedBranch};
            tokens_.insert(info.token.toLatin1(), name);
            return info.toVariant();
        }
        const auto* user = static_cast<const QString*>(context.identity.get());
        return krt::Variant(QList<krt::Variant>{krt::Variant(method), krt::Variant(*user)});
    }

    QHash<QString, User> users_;
    mutable QMutex mutex_;
    QHash<QByteArray, QString> tokens_;
    int logins_ = 0;
    std::unique_ptr<krt::HttpCallServer> server_;
};
