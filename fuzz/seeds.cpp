// Writes the fuzzers' seed corpus into DIR/packet, DIR/call and DIR/reply: a
// packet of every client data set (rows with texts, numbers, dates, flags and
// nulls, as the server sends them), every method's call with arguments of the
// kinds the method table gives, the replies of the list methods (whole and
// streamed in several blocks, ended or failed) and a few bare values.
#include "api/methodtable.h"
#include "api/packetfields.h"
#include "framework/wire/callcodec.h"
#include "framework/wire/httptransport.h"
#include "framework/wire/keylist.h"
#include "framework/wire/streamedreply.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <cstdio>

namespace {

// Writes `rows` rows of `fields` into `w`.
void fill(krt::PacketWriter& w, const QList<krt::FieldDef>& fields, int rows)
{
    for (int r = 0; r < rows; ++r) {
        for (qsizetype c = 0; c < fields.size(); ++c) {
            const krt::FieldDef& f = fields[c];
            if ((r + c) % 7 == 3) {
                w.addNull();
                continue;
            }
            switch (f.type) {
            case krt::FieldType::String:
                w.addText(QStringLiteral("%1ção%2").arg(r).arg(c).left(f.size));
                break;
            case krt::FieldType::Float:
                w.addNumber(r * 10.25 - c);
                break;
            case krt::FieldType::DateTime:
                w.addDateTime(QDateTime(QDate(2026, 3, 2 + r % 5), QTime(r % 24, c % 60)));
                break;
            case krt::FieldType::Boolean:
                w.addBoolean((r + c) % 2 == 0);
                break;
            case krt::FieldType::Integer:
                w.addInteger(qint64(r) * 1000003 - c);
                break;
            }
        }
    }
}

krt::Packet sample(const QList<krt::FieldDef>& fields, int rows)
{
    krt::PacketWriter w(fields);
    fill(w, fields, rows);
    return w.finish();
}

// The streamed reply of a list of `rows` rows of `fields`, in blocks of a
// few rows, as the server writes it; ended whole or with a failure.
QByteArray streamed(const QList<krt::FieldDef>& fields, int rows, bool fails)
{
    QByteArray out;
    krt::PacketWriter w(fields);
    w.streamTo(
        [&](std::string_view head, std::string_view block, int count) {
            if (!head.empty())
                out += krt::streamedReplyHead(head);
            if (count > 0)
                out += krt::streamedRowBlock(block, count);
        },
        64);
    fill(w, fields, rows);
    w.finish();
    out += fails ? krt::streamedReplyFailure(krt::ErrorCode::DatabaseFailure,
                                             QStringLiteral("getPrincipal"),
                                             QStringLiteral("falha no banco de dados"))
                 : krt::streamedReplyEnd();
    return out;
}

bool write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "uso: fuzz-seeds PASTA\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral("packet")) || !dir.mkpath(QStringLiteral("call")) ||
        !dir.mkpath(QStringLiteral("reply")) || !dir.mkpath(QStringLiteral("framing")) ||
        !dir.mkpath(QStringLiteral("arguments")))
        return 1;
    int written = 0;
    auto put = [&](const QString& sub, const QString& name, const QByteArray& bytes) {
        if (!write(dir.filePath(sub + u'/' + name), bytes)) {
            std::fprintf(stderr, "não foi possível escrever %s\n", qPrintable(name));
            std::exit(1);
        }
        ++written;
    };
    const QString object = krt::api::remoteObjectName();
    for (const QString& set : krt::api::packetDataSets()) {
        const QList<krt::FieldDef>& fields = krt::api::packetFields(set);
        put(QStringLiteral("packet"), set + QStringLiteral(".0"),
            krt::Packet::empty(fields).bytes());
        put(QStringLiteral("packet"), set + QStringLiteral(".5"), sample(fields, 5).bytes());
        // The reply carrying it, as the client decodes it (selector byte 1).
        put(QStringLiteral("call"), QStringLiteral("reply.") + set,
            QByteArray(1, '\1') + krt::encodeReply(krt::Variant(sample(fields, 3))));
        // The same list as the client reads it while it arrives (the first
        // byte picks the size of the pieces).
        put(QStringLiteral("reply"), set + QStringLiteral(".whole"),
            QByteArray(1, '\7') + krt::encodeReply(krt::Variant(sample(fields, 3))));
        put(QStringLiteral("reply"), set + QStringLiteral(".streamed"),
            QByteArray(1, '\5') + streamed(fields, 6, false));
        put(QStringLiteral("reply"), set + QStringLiteral(".failed"),
            QByteArray(1, '\3') + streamed(fields, 6, true));
    }
    for (const krt::api::MethodDecl& m : krt::api::methods()) {
        QList<krt::Variant> args;
        for (const krt::api::ArgDecl& a : m.args) {
            switch (a.kind) {
            case krt::api::ArgKind::Text:
                args << krt::Variant(
                    krt::formatKeyList({QStringLiteral("0001001"), QStringLiteral("O'Brien")}));
                break;
            case krt::api::ArgKind::Date:
                args << krt::Variant(QDateTime(QDate(2026, 3, 6), QTime(0, 0)));
                break;
            case krt::api::ArgKind::Boolean:
                args << krt::Variant(true);
                break;
            case krt::api::ArgKind::Packet:
                args << krt::Variant(sample(a.packet->fields(), 4));
                break;
            }
        }
        put(QStringLiteral("call"), QString::fromLatin1(m.name),
            QByteArray(1, '\0') + krt::encodeCall(object, QString::fromLatin1(m.name), args));
        // The same call's arguments through the server's checks (byte 1).
        put(QStringLiteral("arguments"), QString::fromLatin1(m.name),
            QByteArray(1, '\1') + krt::encodeCall(object, QString::fromLatin1(m.name), args));
    }
    put(QStringLiteral("call"), QStringLiteral("reply.error"),
        QByteArray(1, '\1') + krt::encodeErrorReply(QStringLiteral("Erro no método x: falhou.")));
    put(QStringLiteral("call"), QStringLiteral("reply.error.shaped"),
        QByteArray(1, '\1') + krt::encodeErrorReply(krt::ErrorCode::Refused, QStringLiteral("x"),
                                                    QStringLiteral("Erro no método x: falhou.")));
    put(QStringLiteral("call"), QStringLiteral("value.array"),
        QByteArray(1, '\2') +
            krt::encodeVariant(krt::Variant(QList<krt::Variant>{
                krt::Variant(), krt::Variant::null(), krt::Variant(qint64(-7)), krt::Variant(2.5),
                krt::Variant(QStringLiteral("texto")), krt::Variant(QList<krt::Variant>{})})));
    // Key lists (byte 0) and a login answer (byte 2).
    put(QStringLiteral("arguments"), QStringLiteral("keys"),
        QByteArray(1, '\0') +
            krt::formatKeyList({QStringLiteral("0001001"), QStringLiteral("O'Brien"), QString()})
                .toUtf8());
    krt::SessionInfo session;
    session.token = QStringLiteral("abc");
    session.user = QStringLiteral("ana");
    session.branches = {QStringLiteral("0001"), QStringLiteral("0002")};
    session.fixedBranch = QStringLiteral("0001");
    put(QStringLiteral("arguments"), QStringLiteral("login"),
        QByteArray(1, '\2') + krt::encodeVariant(session.toVariant()));
    // Requests as the server reads them (two bytes pick the read size): a
    // login with its length, a chunked call with an extension and a trailer.
    const QByteArray login = krt::encodeCall(
        QStringLiteral("Krt.Sessao"), QStringLiteral("login"),
        {krt::Variant(QStringLiteral("demo")), krt::Variant(QStringLiteral("segredo"))});
    const auto framed = [](char readSize, const QByteArray& request) {
        return QByteArray(1, '\0') + QByteArray(1, readSize) + request;
    };
    put(QStringLiteral("framing"), QStringLiteral("login.length"),
        framed(64, "POST /call/Krt.Sessao/login HTTP/1.1\r\nHost: x\r\n"
                   "Content-Type: application/x-krt-call\r\nContent-Length: " +
                       QByteArray::number(login.size()) + "\r\n\r\n" + login));
    put(QStringLiteral("framing"), QStringLiteral("call.chunked"),
        framed(7, "POST /call/Krt52600.rdmCancelaConsoli/getVendas HTTP/1.1\r\nHost: x\r\n"
                  "Transfer-Encoding: chunked\r\nAuthorization: Bearer abc\r\n\r\n" +
                      QByteArray::number(login.size(), 16) + ";parte=1\r\n" + login +
                      "\r\n0\r\nX-Rastro: fim\r\n\r\n"));
    std::printf("%d sementes em %s\n", written, argv[1]);
    return 0;
}
