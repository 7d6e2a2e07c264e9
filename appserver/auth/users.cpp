#include "appserver/auth/users.h"

#include "appserver/auth/passwords.h"
#include "appserver/db/sql.h"
#include "framework/wire/errors.h"

#include <QDateTime>
#include <QRegularExpression>

namespace krt::app {

namespace {

QString yesNo(bool value)
{
    return value ? QStringLiteral("S") : QStringLiteral("N");
}

// Counted in code points, so that accented letters count once each.
void checkPassword(const QString& password, bool checkLength = true)
{
    if (checkLength && password.toUcs4().size() < kMinPasswordLength)
        throw Error(
            ErrorCode::InvalidArgument,
            QStringLiteral("A senha deve ter pelo menos %1 caracteres.").arg(kMinPasswordLength));
    if (password.contains(QChar(0)))
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("A senha não pode conter o caractere NUL."));
}

} // namespace

bool UserStore::isValidName(const QString& name)
{
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9._@-]{1,40}$"));
    return valid.match(name).hasMatch();
}

void UserStore::add(const QString& name, const QString& password, bool allBranches,
                    const QStringList& branches, bool fixedBranch, PasswordRule rule)
{
    if (!isValidName(name))
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("Nome de usuário inválido \"%1\": use de 1 a 40 letras, "
                                   "dígitos, '.', '_', '-' ou '@'.")
                        .arg(name.left(60)));
    checkPassword(password, rule == PasswordRule::MinimumLength);
    QStringList list = branches;
    list.removeDuplicates();
    list.sort();
    if (allBranches && !list.isEmpty())
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("Informe todas as filiais ou uma lista, não as duas."));
    if (!allBranches && list.isEmpty())
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("Informe as filiais do usuário (ou todas)."));
    if (fixedBranch && (allBranches || list.size() != 1))
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("Um usuário de filial fixa tem exatamente uma filial."));
    const QString hash = hashPassword(password);
    withRetry([&] {
        QSqlDatabase db = db_.connection();
        Transaction tx(db, db_.kind(), Transaction::Mode::Write);
        if (read(db, name, nullptr))
            throw Error(ErrorCode::InvalidArgument,
                        QStringLiteral("O usuário %1 já existe.").arg(name));
        Query branchExists(db, QStringLiteral("SELECT 1 FROM FILIAL WHERE CDFILIAL = ?"));
        for (const QString& b : list) {
            branchExists.bindText(b).exec();
            if (!branchExists.next())
                throw Error(ErrorCode::InvalidArgument,
                            QStringLiteral("Filial não cadastrada: %1.").arg(b.left(10)));
            while (branchExists.next()) {
            }
        }
        Query(db,
              QStringLiteral("INSERT INTO KRTUSUARIO (NMUSUARIO, DSSENHA, IDTODASFILIAIS, "
                             "IDFILIALFIXA, IDATIVO, DTHRALTERACAO) VALUES (?, ?, ?, ?, 'S', ?)"))
            .bindText(name)
            .bindText(hash)
            .bindText(yesNo(allBranches))
            .bindText(yesNo(fixedBranch))
            .bind(QDateTime::currentDateTime())
            .exec();
        Query insert(db, QStringLiteral("INSERT INTO KRTUSUARIOFILIAL (NMUSUARIO, CDFILIAL) "
                                        "VALUES (?, ?)"));
        for (const QString& b : list)
            insert.bindText(name).bindText(b).exec();
        tx.commit();
    });
}

void UserStore::setPassword(const QString& name, const QString& password)
{
    checkPassword(password);
    const QString hash = hashPassword(password);
    withRetry([&] {
        QSqlDatabase db = db_.connection();
        Transaction tx(db, db_.kind(), Transaction::Mode::Write);
        Query q(db, QStringLiteral("UPDATE KRTUSUARIO SET DSSENHA = ?, DTHRALTERACAO = ?, "
                                   "NRGERACAO = NRGERACAO + 1 WHERE NMUSUARIO = ?"));
        q.bindText(hash).bind(QDateTime::currentDateTime()).bindText(name).exec();
        if (q.rowsAffected() != 1)
            throw Error(ErrorCode::InvalidArgument,
                        QStringLiteral("Usuário não cadastrado: %1.").arg(name.left(60)));
        tx.commit();
    });
}

void UserStore::setActive(const QString& name, bool active)
{
    withRetry([&] {
        QSqlDatabase db = db_.connection();
        Transaction tx(db, db_.kind(), Transaction::Mode::Write);
        // Enabling raises the generation too: sessions from before the user
        // was disabled stay ended.
        Query q(db, QStringLiteral("UPDATE KRTUSUARIO SET IDATIVO = ?, DTHRALTERACAO = ?, "
                                   "NRGERACAO = NRGERACAO + 1 WHERE NMUSUARIO = ?"));
        q.bindText(yesNo(active)).bind(QDateTime::currentDateTime()).bindText(name).exec();
        if (q.rowsAffected() != 1)
            throw Error(ErrorCode::InvalidArgument,
                        QStringLiteral("Usuário não cadastrado: %1.").arg(name.left(60)));
        tx.commit();
    });
}

UserRecord UserStore::changeBranches(const QString& name, const QStringList& add,
                                     const QStringList& remove, bool all)
{
    if (all && (!add.isEmpty() || !remove.isEmpty()))
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("Informe todas as filiais ou filiais a incluir e a retirar, "
                                   "não os dois."));
    if (!all && add.isEmpty() && remove.isEmpty())
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("Informe as filiais a incluir, a retirar, ou todas."));
    for (const QString& b : add)
        if (remove.contains(b))
            throw Error(
                ErrorCode::InvalidArgument,
                QStringLiteral("A filial %1 não pode ser incluída e retirada.").arg(b.left(10)));
    UserRecord result;
    withRetry([&] {
        QSqlDatabase db = db_.connection();
        Transaction tx(db, db_.kind(), Transaction::Mode::Write);
        std::optional<UserRecord> user = read(db, name, nullptr);
        if (!user)
            throw Error(ErrorCode::InvalidArgument,
                        QStringLiteral("Usuário não cadastrado: %1.").arg(name.left(60)));
        QStringList list = user->allBranches ? QStringList() : user->branches;
        if (!remove.isEmpty() && user->allBranches)
            throw Error(ErrorCode::InvalidArgument,
                        QStringLiteral("O usuário %1 tem todas as filiais: use --add para "
                                       "limitá-lo a algumas.")
                            .arg(name));
        for (const QString& b : remove) {
            if (!list.removeOne(b))
                throw Error(
                    ErrorCode::InvalidArgument,
                    QStringLiteral("O usuário %1 não tem a filial %2.").arg(name, b.left(10)));
        }
        Query branchExists(db, QStringLiteral("SELECT 1 FROM FILIAL WHERE CDFILIAL = ?"));
        for (const QString& b : add) {
            branchExists.bindText(b).exec();
            if (!branchExists.next())
                throw Error(ErrorCode::InvalidArgument,
                            QStringLiteral("Filial não cadastrada: %1.").arg(b.left(10)));
            while (branchExists.next()) {
            }
            if (!list.contains(b))
                list << b;
        }
        list.sort();
        if (all && user->fixedBranch)
            throw Error(ErrorCode::InvalidArgument,
                        QStringLiteral("Um usuário de filial fixa tem exatamente uma filial."));
        if (!all && list.isEmpty())
            throw Error(ErrorCode::InvalidArgument,
                        QStringLiteral("O usuário %1 ficaria sem filiais; use user disable "
                                       "para impedir o acesso.")
                            .arg(name));
        if (!all && user->fixedBranch && list.size() != 1)
            throw Error(ErrorCode::InvalidArgument,
                        QStringLiteral("Um usuário de filial fixa tem exatamente uma filial."));
        // The branches change and every session of the user ends in one step.
        Query(db, QStringLiteral("UPDATE KRTUSUARIO SET IDTODASFILIAIS = ?, DTHRALTERACAO = ?, "
                                 "NRGERACAO = NRGERACAO + 1 WHERE NMUSUARIO = ?"))
            .bindText(yesNo(all))
            .bind(QDateTime::currentDateTime())
            .bindText(name)
            .exec();
        Query(db, QStringLiteral("DELETE FROM KRTUSUARIOFILIAL WHERE NMUSUARIO = ?"))
            .bindText(name)
            .exec();
        Query insert(db, QStringLiteral("INSERT INTO KRTUSUARIOFILIAL (NMUSUARIO, CDFILIAL) "
                                        "VALUES (?, ?)"));
        if (!all)
            for (const QString& b : list)
                insert.bindText(name).bindText(b).exec();
        result = *read(db, name, nullptr);
        tx.commit();
    });
    return result;
}

std::optional<UserRecord> UserStore::read(const QSqlDatabase& db, const QString& name,
                                          QString* hash, const QString* sessionId, bool* ended)
{
    // The user and its branches in one statement: one round trip, and one
    // snapshot of both (a change of the branches between two reads could
    // otherwise pair the old flags with the new list).
    Query q(db, sessionId ? QStringLiteral("SELECT U.DSSENHA, U.IDTODASFILIAIS, U.IDFILIALFIXA, "
                                           "U.IDATIVO, U.NRGERACAO, F.CDFILIAL, (SELECT COUNT(*) "
                                           "FROM KRTSESSAOENCERRADA WHERE IDSESSAO = ?) FROM "
                                           "KRTUSUARIO U LEFT JOIN KRTUSUARIOFILIAL F ON "
                                           "F.NMUSUARIO = U.NMUSUARIO WHERE U.NMUSUARIO = ? "
                                           "ORDER BY F.CDFILIAL")
                          : QStringLiteral("SELECT U.DSSENHA, U.IDTODASFILIAIS, U.IDFILIALFIXA, "
                                           "U.IDATIVO, U.NRGERACAO, F.CDFILIAL FROM KRTUSUARIO U "
                                           "LEFT JOIN KRTUSUARIOFILIAL F ON F.NMUSUARIO = "
                                           "U.NMUSUARIO WHERE U.NMUSUARIO = ? ORDER BY "
                                           "F.CDFILIAL"));
    if (sessionId)
        q.bindText(*sessionId);
    q.bindText(name).exec();
    if (!q.next())
        return std::nullopt;
    UserRecord user;
    user.name = name;
    if (hash)
        *hash = q.text(0);
    user.allBranches = q.text(1) == QLatin1String("S");
    user.fixedBranch = q.text(2) == QLatin1String("S");
    user.active = q.text(3) == QLatin1String("S");
    user.sessionGeneration = q.integer(4);
    if (sessionId && ended)
        *ended = q.integer(6) > 0;
    do {
        if (!q.isNull(5))
            user.branches << q.text(5);
    } while (q.next());
    if (user.allBranches)
        user.branches.clear();
    return user;
}

std::optional<UserRecord> UserStore::find(const QString& name)
{
    if (!isValidName(name))
        return std::nullopt;
    return read(db_.connection(), name, nullptr);
}

std::optional<UserRecord> UserStore::findForSession(const QString& name, const QString& sessionId,
                                                    bool* ended)
{
    if (!isValidName(name))
        return std::nullopt;
    return read(db_.connection(), name, nullptr, &sessionId, ended);
}

void UserStore::endSession(const QString& name, const QString& sessionId, qint64 expiresMs,
                           qint64 nowMs)
{
    withRetry([&] {
        QSqlDatabase db = db_.connection();
        Transaction tx(db, db_.kind(), Transaction::Mode::Write);
        Query(db, QStringLiteral("DELETE FROM KRTSESSAOENCERRADA WHERE NRVALIDADE < ?"))
            .bind(nowMs)
            .exec();
        Query(db, QStringLiteral("INSERT INTO KRTSESSAOENCERRADA (IDSESSAO, NMUSUARIO, NRVALIDADE) "
                                 "VALUES (?, ?, ?) ON CONFLICT (IDSESSAO) DO NOTHING"))
            .bindText(sessionId)
            .bindText(name)
            .bind(expiresMs)
            .exec();
        tx.commit();
    });
}

QList<UserRecord> UserStore::list()
{
    QSqlDatabase db = db_.connection();
    Query q(db, QStringLiteral("SELECT NMUSUARIO FROM KRTUSUARIO ORDER BY NMUSUARIO"));
    q.exec();
    QStringList names;
    while (q.next())
        names << q.text(0);
    QList<UserRecord> users;
    for (const QString& name : names)
        if (auto user = read(db, name, nullptr))
            users << *user;
    return users;
}

UserStore::Verdict UserStore::verify(const QString& name, const QString& password, UserRecord* user)
{
    QString hash;
    std::optional<UserRecord> found;
    if (isValidName(name))
        found = read(db_.connection(), name, &hash);
    if (!found) {
        verifyNothing(password);
        return Verdict::Unknown;
    }
    if (!verifyPassword(hash, password))
        return Verdict::WrongPassword;
    if (user)
        *user = *found;
    return found->active ? Verdict::Ok : Verdict::Disabled;
}

} // namespace krt::app
