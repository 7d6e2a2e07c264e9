#include "appserver/auth/passwords.h"

#include "framework/wire/errors.h"

#include <mutex>
#include <sodium.h>

namespace krt::app {

namespace {

// Cost of one hash: 3 passes over 19 MiB, a common recommendation for
// Argon2id in interactive logins (a few tens of milliseconds here).
constexpr unsigned long long kOps = 3;
constexpr size_t kMemory = size_t(19) * 1024 * 1024;

void initSodium()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (sodium_init() < 0)
            throw Error(ErrorCode::InvalidArgument,
                        QStringLiteral("Falha ao iniciar a biblioteca de criptografia."));
    });
}

} // namespace

QString hashPassword(const QString& password)
{
    initSodium();
    const QByteArray bytes = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, bytes.constData(), size_t(bytes.size()), kOps, kMemory,
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("Memória insuficiente para calcular o hash da senha."));
    return QString::fromLatin1(out);
}

bool verifyPassword(const QString& hash, const QString& password)
{
    initSodium();
    const QByteArray stored = hash.toLatin1();
    if (stored.size() >= crypto_pwhash_STRBYTES)
        return false;
    const QByteArray bytes = password.toUtf8();
    return crypto_pwhash_str_verify(stored.constData(), bytes.constData(), size_t(bytes.size())) ==
           0;
}

void verifyNothing(const QString& password)
{
    static const QString dummy = hashPassword(QStringLiteral("usuário inexistente"));
    verifyPassword(dummy, password);
}

} // namespace krt::app
