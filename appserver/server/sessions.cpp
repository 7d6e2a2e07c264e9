#include "appserver/server/sessions.h"

#include "appserver/auth/users.h"
#include "framework/wire/errors.h"

#include <QDateTime>
#include <QFile>
#include <QtEndian>
#include <sodium.h>
#include <sys/stat.h>

namespace krt::app {

namespace {

// Version, identifier, issued, expires, generation, then the user's name.
constexpr char kVersion = 1;
constexpr qsizetype kIdBytes = 16;
constexpr qsizetype kFixedBytes = 1 + kIdBytes + 3 * 8;
// Longer than any token this server signs (a name is at most 40 bytes).
constexpr qsizetype kMaxTokenChars = 256;

void initSodium()
{
    if (sodium_init() < 0)
        qFatal("libsodium não iniciou");
}

void putInt(QByteArray& out, qint64 value)
{
    char bytes[8];
    qToBigEndian(value, bytes);
    out.append(bytes, 8);
}

qint64 intAt(const QByteArray& in, qsizetype at)
{
    return qFromBigEndian<qint64>(in.constData() + at);
}

QByteArray macOf(const QByteArray& payload, const QByteArray& key)
{
    QByteArray mac(crypto_auth_BYTES, Qt::Uninitialized);
    crypto_auth(reinterpret_cast<unsigned char*>(mac.data()),
                reinterpret_cast<const unsigned char*>(payload.constData()),
                quint64(payload.size()), reinterpret_cast<const unsigned char*>(key.constData()));
    return mac;
}

} // namespace

static_assert(SessionTokens::kKeyBytes == crypto_auth_KEYBYTES);

SessionTokens::SessionTokens(QList<QByteArray> keys, qint64 lifetimeMs)
    : keys_(std::move(keys)), lifetimeMs_(lifetimeMs)
{
    initSodium();
    if (keys_.isEmpty())
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("Nenhuma chave de sessão informada."));
    for (const QByteArray& key : keys_)
        if (key.size() != kKeyBytes)
            throw Error(ErrorCode::InvalidArgument,
                        QStringLiteral("Chave de sessão com tamanho errado."));
}

SessionTokens SessionTokens::perProcess()
{
    return SessionTokens({newKey()});
}

qint64 SessionTokens::nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QList<QByteArray> SessionTokens::readKeyFile(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info;
    if (::stat(native.constData(), &info) != 0)
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("Arquivo de chaves de sessão não encontrado: %1.").arg(path));
    // The keys let whoever reads them sign in as anyone: like a private
    // key, the file is its owner's alone.
    if (info.st_mode & (S_IRWXG | S_IRWXO))
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("O arquivo de chaves de sessão %1 pode ser lido ou alterado "
                                   "por outros usuários (permissões %2); use chmod 600.")
                        .arg(path)
                        .arg(info.st_mode & 0777, 3, 8, QLatin1Char('0')));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("Não foi possível ler o arquivo de chaves de sessão %1: %2.")
                        .arg(path, file.errorString()));
    QList<QByteArray> keys;
    int lineNumber = 0;
    while (!file.atEnd() && lineNumber < 1000) {
        ++lineNumber;
        const QByteArray line = file.readLine(1024).trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QByteArray key = QByteArray::fromHex(line);
        if (line.size() != 2 * kKeyBytes || key.size() != kKeyBytes ||
            key.toHex() != line.toLower())
            throw Error(ErrorCode::InvalidArgument,
                        QStringLiteral("Arquivo de chaves de sessão %1, linha %2: uma chave "
                                       "tem %3 dígitos hexadecimais.")
                            .arg(path)
                            .arg(lineNumber)
                            .arg(2 * kKeyBytes));
        keys << key;
    }
    if (keys.isEmpty())
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("O arquivo de chaves de sessão %1 não tem chave.").arg(path));
    return keys;
}

QByteArray SessionTokens::newKey()
{
    initSodium();
    QByteArray key(kKeyBytes, Qt::Uninitialized);
    crypto_auth_keygen(reinterpret_cast<unsigned char*>(key.data()));
    return key;
}

QByteArray SessionTokens::keyFileText(const QList<QByteArray>& keys)
{
    QByteArray text = "# Chaves de sessão do krt-appserver: a primeira assina, todas valem.\n";
    for (const QByteArray& key : keys)
        text += key.toHex() + '\n';
    return text;
}

QByteArray SessionTokens::issue(const QString& user, qint64 generation, qint64 nowMs) const
{
    QByteArray payload;
    payload.reserve(kFixedBytes + 40 + crypto_auth_BYTES);
    payload.append(kVersion);
    QByteArray id(kIdBytes, Qt::Uninitialized);
    randombytes_buf(id.data(), size_t(id.size()));
    payload += id;
    putInt(payload, nowMs);
    putInt(payload, nowMs + lifetimeMs_);
    putInt(payload, generation);
    payload += user.toUtf8();
    payload += macOf(payload, keys_.first());
    return payload.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

std::optional<SessionClaims> SessionTokens::verify(const QByteArray& token, qint64 nowMs) const
{
    if (token.isEmpty() || token.size() > kMaxTokenChars)
        return std::nullopt;
    const auto decoded = QByteArray::fromBase64Encoding(
        token, QByteArray::Base64UrlEncoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    const QByteArray& raw = *decoded;
    // One spelling per token: Base64's unused low bits of the last character
    // would otherwise let one token be written several ways.
    if (raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals) != token)
        return std::nullopt;
    if (raw.size() <= kFixedBytes + crypto_auth_BYTES || raw.at(0) != kVersion)
        return std::nullopt;
    const qsizetype payloadBytes = raw.size() - crypto_auth_BYTES;
    const auto* mac = reinterpret_cast<const unsigned char*>(raw.constData() + payloadBytes);
    const auto* payload = reinterpret_cast<const unsigned char*>(raw.constData());
    bool signedByUs = false;
    for (const QByteArray& key : keys_)
        if (crypto_auth_verify(mac, payload, quint64(payloadBytes),
                               reinterpret_cast<const unsigned char*>(key.constData())) == 0) {
            signedByUs = true;
            break;
        }
    if (!signedByUs)
        return std::nullopt;
    SessionClaims claims;
    claims.id = raw.mid(1, kIdBytes);
    claims.issuedMs = intAt(raw, 1 + kIdBytes);
    claims.expiresMs = intAt(raw, 1 + kIdBytes + 8);
    claims.generation = intAt(raw, 1 + kIdBytes + 16);
    claims.user = QString::fromUtf8(raw.mid(kFixedBytes, payloadBytes - kFixedBytes));
    if (nowMs >= claims.expiresMs || claims.issuedMs > nowMs + kClockSkewMs ||
        !UserStore::isValidName(claims.user))
        return std::nullopt;
    return claims;
}

} // namespace krt::app
