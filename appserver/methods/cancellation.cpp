// The two writing methods: undoing the consolidation of invoices and of stock
// withdrawals. Each request is one transaction: every listed document that may
// be undone is undone completely, or (on any failure) nothing is.
#include "appserver/db/database.h"
#include "appserver/db/sql.h"
#include "appserver/methods/arguments.h"
#include "appserver/methods/audit.h"
#include "appserver/methods/branchlock.h"
#include "appserver/methods/keyset.h"
#include "appserver/methods/rdmcancelaconsoli.h"
#include "appserver/methods/rowwriter.h"
#include "appserver/methods/stockreversal.h"
#include "framework/wire/errors.h"

#include <QHash>
#include <algorithm>
#include <malloc.h>
#include <utility>

namespace krt::app {

namespace {

using Key = std::pair<QString, QString>; // branch, number

// Most rows a cancellation packet may carry.
constexpr int kMaxPacketRows = 500000;

QString keyText(const Key& k)
{
    return branchKey(k.first, k.second);
}

// The distinct (branch, number) pairs of a packet, sorted so that concurrent
// requests lock rows in the same order. Rows whose key is missing or cannot
// be a key are reported in `skipped`.
QList<Key> keysOf(const MethodCall& in, const Packet& packet, const char* branchField,
                  const char* numberField, int numberSize, QStringList& skipped)
{
    // A closed list may come as a packet without rows or even without fields:
    // there is nothing to cancel then, which is an answer, not an error.
    if (packet.rowCount() == 0)
        return {};
    const int cb = packet.fieldIndex(std::string_view(branchField));
    const int cn = packet.fieldIndex(std::string_view(numberField));
    if (cb < 0 || cn < 0)
        in.fail(QStringLiteral("o pacote de dados não tem o campo %1.")
                    .arg(QString::fromLatin1(cb < 0 ? branchField : numberField)));
    for (int c : {cb, cn})
        if (packet.fields()[c].type != FieldType::String)
            in.fail(QStringLiteral("o campo %1 do pacote de dados deve ser texto.")
                        .arg(QString::fromLatin1(packet.fields()[c].name)));
    if (packet.rowCount() > kMaxPacketRows)
        in.fail(QStringLiteral("o pacote de dados tem %1 linhas; o máximo é %2.")
                    .arg(packet.rowCount())
                    .arg(kMaxPacketRows));
    QList<Key> keys;
    keys.reserve(packet.rowCount());
    for (int r = 0; r < packet.rowCount(); ++r) {
        const QString branch = packet.isNull(r, cb) ? QString() : packet.textQ(r, cb);
        const QString number = packet.isNull(r, cn) ? QString() : packet.textQ(r, cn);
        if (branch.size() != 4 || number.isEmpty() || number.size() > numberSize ||
            branch.contains(QChar(0)) || number.contains(QChar(0))) {
            skipped << QStringLiteral("linha %1: chave inválida").arg(r + 1);
            continue;
        }
        keys.append(Key{branch, number});
    }
    // Sorted, a repeated key sits next to its twin: no set needed.
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

// Records what a request undid in the audit trail, inside its transaction,
// commits, and tells the listener: the same closing for both kinds of
// document. Gives how many were undone.
int commitCancelled(const QSqlDatabase& db, Transaction& tx, AuditEntry& audit,
                    const QList<Key>& doomed,
                    const std::function<void(const AuditEntry&)>& listener)
{
    for (const Key& k : doomed)
        audit.cancelled << keyText(k);
    audit.result = audit.cancelled.isEmpty() ? QStringLiteral("NADA") : QStringLiteral("OK");
    writeAudit(db, audit);
    tx.commit();
    if (listener)
        listener(audit);
    return int(audit.cancelled.size());
}

// A request of thousands of documents leaves megabytes of small freed blocks
// (keys, texts, the audit's list) in its worker's allocator arena, which the
// allocator keeps for the worker, and fills its connection's page cache:
// both given back once the request's own memory is freed, the server's
// resident size returns to where it was instead of growing by megabytes with
// each large cancellation, on whichever worker it ran.
class GiveBackFreedMemory
{
public:
    GiveBackFreedMemory(Database& db, qsizetype documents) : db_(db), large_(documents >= 1000) {}
    ~GiveBackFreedMemory()
    {
        if (!large_)
            return;
        db_.dialect().releaseCaches(db_.connection());
        malloc_trim(0);
    }
    GiveBackFreedMemory(const GiveBackFreedMemory&) = delete;
    GiveBackFreedMemory& operator=(const GiveBackFreedMemory&) = delete;

private:
    Database& db_;
    bool large_;
};

// A document of the request touches a branch the caller may not touch: the
// whole request is refused and nothing changes.
struct AccessRefusal
{
    QString what;
};

} // namespace

Variant RdmCancelaConsoli::serve(const Request<api::setDeletaNF>& in, const TextArg& filial,
                                 const PacketArg& principal)
{
    // First, so that it runs after every other local is freed.
    const GiveBackFreedMemory giveBack(db_, principal.value.rowCount());
    const Caller& caller = in.caller();
    const QString& branch = filial.value;
    if (branch.isEmpty())
        filial.at.fail(QStringLiteral("a %1 (argumento %2) não foi informada.")
                           .arg(filial.at.description())
                           .arg(filial.at.position));
    const Packet& packet = principal.value;
    QStringList badRows;
    const QList<Key> keys = keysOf(in, packet, "CDFILIALNF", "NRLANCTONF", 10, badRows);

    AuditEntry audit;
    audit.operation = in.name();
    audit.branch = branch;
    audit.requester = caller.requester;
    audit.user = caller.user;
    const auto denied = [&](const QString& key, const QString& other) {
        return AccessRefusal{QStringLiteral("o usuário %1 não tem acesso à filial %2 (nota "
                                            "fiscal %3; tem %4).")
                                 .arg(caller.user, other, key, caller.allowedText())};
    };
    try {
        const int cancelled = withRetry([&] {
            audit.cancelled.clear();
            audit.skipped = badRows;
            QSqlDatabase db = db_.connection();
            Transaction tx(db, db_.kind(), Transaction::Mode::Write);
            lockBranches(db, db_.dialect(), {branch});
            StockReversal stock(db, db_.dialect());
            const qsizetype batch = KeySetQuery::batchSize(db);
            // With, in the same look-up, whether undoing the invoice would
            // touch another branch than its own through its stock postings
            // or its sales (rare; two index probes).
            KeySetQuery status(
                db, QStringLiteral("SELECT NF.NRLANCTONF, NF.CDFILIAL, NF.IDSTATUS, NF.IDORIGEM,"
                                   " NF.DTENTRSAID, CASE WHEN EXISTS (SELECT 1 FROM LANCTOESTQ L"
                                   " WHERE L.CDFILIALNF = NF.CDFILIALNF AND L.NRLANCTONF ="
                                   " NF.NRLANCTONF AND L.CDFILIAL <> NF.CDFILIALNF) OR EXISTS"
                                   " (SELECT 1 FROM VENDA V WHERE V.CDFILIALNF = NF.CDFILIALNF"
                                   " AND V.NRLANCTONF = NF.NRLANCTONF AND V.CDFILIAL <>"
                                   " NF.CDFILIALNF) THEN 1 ELSE 0 END FROM NOTAFISCAL NF"
                                   " WHERE NF.CDFILIALNF = ? AND NF.NRLANCTONF IN (%1)") +
                        stock.rowLock());
            // Which other branches, when there are any.
            Query otherBranches(
                db, QStringLiteral("SELECT CDFILIAL FROM LANCTOESTQ WHERE CDFILIALNF = ? AND "
                                   "NRLANCTONF = ? AND CDFILIAL <> ?"
                                   " UNION SELECT CDFILIAL FROM VENDA WHERE CDFILIALNF = ? AND "
                                   "NRLANCTONF = ? AND CDFILIAL <> ?"));
            const auto bindKey = [](Query& q, const Key& k) -> Query& {
                return q.bindText(k.first)
                    .bindText(k.second)
                    .bindText(k.first)
                    .bindText(k.first)
                    .bindText(k.second)
                    .bindText(k.first);
            };
            struct Status
            {
                QString owner;
                bool approved = false, consolidated = false;
                QDate exitDay;
                bool mixed = false;
            };
            // Compared as the database gives them: a text made for each of
            // ten thousand rows costs more than the look-up itself.
            const QByteArray branchBytes = branch.toUtf8();
            const std::string_view branchUtf8(branchBytes.constData(), size_t(branchBytes.size()));
            // A copy: looking up the postings' branches below adds to the cache.
            const OpenPeriod open = stock.periodOf(branch);
            QList<Key> doomed;
            forEachBatch(keys, batch, [&](const QString& keyBranch, const QStringList& numbers) {
                // The key names the invoice's own branch: a caller may not
                // even ask about another's.
                if (!caller.allows(keyBranch))
                    throw denied(keyText({keyBranch, numbers.first()}), keyBranch);
                // The database's copy decides, never the packet's.
                QHash<QString, Status> found;
                Query& rows = status.exec({keyBranch}, numbers);
                while (rows.next()) {
                    const std::string_view owner = rows.utf8(1);
                    found.insert(rows.text(0), Status{owner == branchUtf8 ? branch : rows.text(1),
                                                      rows.utf8(2) == "A", rows.utf8(3) == "C",
                                                      rows.date(4), rows.integer(5) != 0});
                }
                for (const QString& number : numbers) {
                    const Key k{keyBranch, number};
                    const auto it = found.constFind(number);
                    if (it == found.cend()) {
                        audit.skipped << keyText(k) + QStringLiteral(": não encontrada");
                        continue;
                    }
                    const Status& s = it.value();
                    if (!caller.allows(s.owner))
                        throw denied(keyText(k), s.owner);
                    // The invoice is the branch's only when its own branch
                    // (CDFILIALNF), its sales' branch (CDFILIAL), its postings
                    // and its sales all are: undoing it must not move another
                    // branch's stock or free another branch's sales.
                    if (k.first != branch || s.owner != branch) {
                        audit.skipped << keyText(k) + QStringLiteral(": de outra filial");
                        continue;
                    }
                    if (s.approved) {
                        audit.skipped << keyText(k) + QStringLiteral(": aprovada");
                        continue;
                    }
                    if (!s.consolidated) {
                        audit.skipped
                            << keyText(k) + QStringLiteral(": não gerada pela consolidação");
                        continue;
                    }
                    if (s.mixed) {
                        bindKey(otherBranches, k).exec();
                        QStringList others;
                        while (otherBranches.next())
                            others << otherBranches.text(0);
                        for (const QString& b : others)
                            if (!caller.allows(b))
                                throw denied(keyText(k), b);
                        audit.skipped << keyText(k) + QStringLiteral(": envolve outra filial");
                        continue;
                    }
                    if (!open.contains(s.exitDay))
                        throw PeriodRefusal{QStringLiteral("nota fiscal %1 de %2")
                                                .arg(keyText(k), s.exitDay.toString(Qt::ISODate))};
                    doomed << k;
                }
            });
            // Everything checked: undo the invoices a batch at a time. The
            // changes, the audit row and the COMMIT go out together: on
            // PostgreSQL the branch stays locked one round trip for them all.
            KeySetQuery unlink(db, QStringLiteral("UPDATE VENDA SET CDFILIALNF = NULL,"
                                                  " NRLANCTONF = NULL WHERE CDFILIALNF = ?"
                                                  " AND NRLANCTONF IN (%1)"));
            KeySetQuery dropItems(db,
                                  QStringLiteral("DELETE FROM ITEMNOTAFISCAL"
                                                 " WHERE CDFILIALNF = ? AND NRLANCTONF IN (%1)"));
            KeySetQuery dropInvoices(db, QStringLiteral("DELETE FROM NOTAFISCAL"
                                                        " WHERE CDFILIALNF = ? AND NRLANCTONF IN"
                                                        " (%1)"));
            forEachBatch(doomed, batch, [&](const QString& keyBranch, const QStringList& numbers) {
                stock.reverseInvoicePostings(keyBranch, numbers);
                unlink.execDeferred({keyBranch}, numbers);
                dropItems.execDeferred({keyBranch}, numbers);
                dropInvoices.execDeferred({keyBranch}, numbers);
            });
            return commitCancelled(db, tx, audit, doomed, auditListener_);
        });
        return Variant(cancelled > 0);
    } catch (const PeriodRefusal& refusal) {
        auditRefusal(audit, refusal.what);
        in.refuse(periodBlockedText());
    } catch (const AccessRefusal& refusal) {
        auditRefusal(audit, refusal.what);
        throw Error(ErrorCode::AccessDenied,
                    QStringLiteral("%1 Nada foi cancelado.").arg(refusal.what), in.name());
    }
}

Variant RdmCancelaConsoli::serve(const Request<api::getDeletaRetiEst>& in,
                                 const PacketArg& lanctoEstoq)
{
    const GiveBackFreedMemory giveBack(db_, lanctoEstoq.value.rowCount());
    const Caller& caller = in.caller();
    const Packet& packet = lanctoEstoq.value;
    QStringList badRows;
    const QList<Key> keys = keysOf(in, packet, "CDFILIAL", "NRRETEST", 10, badRows);
    QStringList branches;
    for (const Key& k : keys)
        branches << k.first;
    branches.removeDuplicates();

    AuditEntry audit;
    audit.operation = in.name();
    audit.branch = branches.size() == 1 ? branches.first() : QString();
    audit.requester = caller.requester;
    audit.user = caller.user;
    // A withdrawal, its postings and its sales are all of the key's branch.
    for (const Key& k : keys) {
        if (caller.allows(k.first))
            continue;
        audit.skipped = badRows;
        const QString why = QStringLiteral("o usuário %1 não tem acesso à filial %2 (retirada %3; "
                                           "tem %4).")
                                .arg(caller.user, k.first, keyText(k), caller.allowedText());
        auditRefusal(audit, why);
        throw Error(ErrorCode::AccessDenied, QStringLiteral("%1 Nada foi cancelado.").arg(why),
                    in.name());
    }
    try {
        const int cancelled = withRetry([&] {
            audit.cancelled.clear();
            audit.skipped = badRows;
            QSqlDatabase db = db_.connection();
            Transaction tx(db, db_.kind(), Transaction::Mode::Write);
            lockBranches(db, db_.dialect(), branches);
            StockReversal stock(db, db_.dialect());
            const qsizetype batch = KeySetQuery::batchSize(db);
            KeySetQuery exists(db, QStringLiteral("SELECT NRRETEST, DTRETIRADA FROM RETIRADAEST"
                                                  " WHERE CDFILIAL = ? AND NRRETEST IN (%1)") +
                                       stock.rowLock());
            QList<Key> doomed;
            forEachBatch(keys, batch, [&](const QString& keyBranch, const QStringList& numbers) {
                // The database's copy decides, never the packet's.
                QHash<QString, QDate> found;
                Query& rows = exists.exec({keyBranch}, numbers);
                while (rows.next())
                    found.insert(rows.text(0), rows.date(1));
                for (const QString& number : numbers) {
                    const Key k{keyBranch, number};
                    const auto it = found.constFind(number);
                    if (it == found.cend()) {
                        audit.skipped << keyText(k) + QStringLiteral(": não encontrada");
                        continue;
                    }
                    if (!stock.periodOf(keyBranch).contains(it.value()))
                        throw PeriodRefusal{QStringLiteral("retirada %1 de %2")
                                                .arg(keyText(k), it->toString(Qt::ISODate))};
                    doomed << k;
                }
            });
            KeySetQuery unlink(db, QStringLiteral("UPDATE VENDA SET NRRETEST = NULL"
                                                  " WHERE CDFILIAL = ? AND NRRETEST IN (%1)"));
            KeySetQuery drop(db, QStringLiteral("DELETE FROM RETIRADAEST"
                                                " WHERE CDFILIAL = ? AND NRRETEST IN (%1)"));
            forEachBatch(doomed, batch, [&](const QString& keyBranch, const QStringList& numbers) {
                stock.reverseWithdrawalPostings(keyBranch, numbers);
                unlink.execDeferred({keyBranch}, numbers);
                drop.execDeferred({keyBranch}, numbers);
            });
            return commitCancelled(db, tx, audit, doomed, auditListener_);
        });
        return Variant(cancelled > 0);
    } catch (const PeriodRefusal& refusal) {
        auditRefusal(audit, refusal.what);
        in.refuse(periodBlockedText());
    }
}

} // namespace krt::app
