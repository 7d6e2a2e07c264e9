#include "bench/support/pgsession.h"

#include "appserver/db/dialect.h"

#include <stdexcept>

namespace krt::bench {

PgSession::PgSession(const QByteArray& connection) : conn_(PQconnectdb(connection.constData()))
{
    if (PQstatus(conn_) != CONNECTION_OK) {
        const std::string error = PQerrorMessage(conn_);
        PQfinish(conn_);
        throw std::runtime_error(error);
    }
    for (const QString& setup : app::Dialect::of(app::DbKind::PostgreSQL).sessionSetup())
        exec(setup.toUtf8().constData());
}

PgSession::~PgSession()
{
    PQfinish(conn_);
}

PgResult PgSession::check(PGresult* r)
{
    PgResult result(r, &PQclear);
    const ExecStatusType s = PQresultStatus(r);
    if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK && s != PGRES_COPY_IN)
        throw std::runtime_error(r ? PQresultErrorMessage(r) : PQerrorMessage(conn_));
    return result;
}

PgResult PgSession::exec(const char* sql)
{
    return check(PQexec(conn_, sql));
}

const std::string& PgSession::prepare(const char* sql)
{
    auto it = names_.find(sql);
    if (it == names_.end()) {
        const std::string name = "floor" + std::to_string(names_.size());
        // The parameters' types as the statement implies them.
        check(PQprepare(conn_, name.c_str(), sql, 0, nullptr));
        it = names_.emplace(sql, name).first;
    }
    return it->second;
}

PgResult PgSession::run(const char* sql, const std::vector<std::string>& values)
{
    const std::string& name = prepare(sql);
    std::vector<const char*> pointers;
    pointers.reserve(values.size());
    for (const std::string& v : values)
        pointers.push_back(v.c_str());
    return check(PQexecPrepared(conn_, name.c_str(), int(values.size()), pointers.data(), nullptr,
                                nullptr, 0));
}

void PgSession::runTogether(const std::vector<Pipelined>& statements)
{
    for (const Pipelined& s : statements)
        prepare(s.sql);
    if (PQenterPipelineMode(conn_) != 1)
        throw std::runtime_error(PQerrorMessage(conn_));
    for (const Pipelined& s : statements) {
        std::vector<const char*> pointers;
        for (const std::string& v : s.values)
            pointers.push_back(v.c_str());
        if (PQsendQueryPrepared(conn_, names_.at(s.sql).c_str(), int(pointers.size()),
                                pointers.data(), nullptr, nullptr, 0) != 1)
            throw std::runtime_error(PQerrorMessage(conn_));
    }
    if (PQpipelineSync(conn_) != 1)
        throw std::runtime_error(PQerrorMessage(conn_));
    std::string failure;
    for (;;) {
        PGresult* r = PQgetResult(conn_);
        if (!r) {
            if (PQstatus(conn_) == CONNECTION_BAD)
                throw std::runtime_error(PQerrorMessage(conn_));
            continue; // the end of one statement's results
        }
        const ExecStatusType s = PQresultStatus(r);
        if (s == PGRES_PIPELINE_SYNC) {
            PQclear(r);
            break;
        }
        if (s == PGRES_FATAL_ERROR && failure.empty())
            failure = PQresultErrorMessage(r);
        PQclear(r);
    }
    PQexitPipelineMode(conn_);
    if (!failure.empty())
        throw std::runtime_error(failure);
}

void PgSession::copyIn(const char* table, const std::string& data)
{
    exec((std::string("COPY ") + table + " FROM STDIN").c_str());
    if (PQputCopyData(conn_, data.data(), int(data.size())) != 1 ||
        PQputCopyEnd(conn_, nullptr) != 1)
        throw std::runtime_error(PQerrorMessage(conn_));
    while (PGresult* r = PQgetResult(conn_))
        check(r);
}

} // namespace krt::bench
