#include "appserver/db/postgrespipeline.h"

#include "appserver/db/postgresprepared.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace krt::app::detail {

namespace {

struct Sent
{
    QString shown;
    PreparedText* text;
    bool preparing;
};

struct Pipeline
{
    PGconn* conn;
    std::vector<Sent> sent;
};

// Connections are used only by the thread that opened them.
thread_local std::vector<Pipeline> pipelines;

Pipeline* pipelineOf(PGconn* conn)
{
    for (Pipeline& p : pipelines)
        if (p.conn == conn) {
            if (PQpipelineStatus(conn) != PQ_PIPELINE_OFF)
                return &p;
            // A closed connection's, and libpq put a new one at its address.
            std::erase_if(pipelines, [conn](const Pipeline& each) { return each.conn == conn; });
            return nullptr;
        }
    return nullptr;
}

bool hasState(const PGresult* r, const char* state)
{
    const char* s = PQresultErrorField(r, PG_DIAG_SQLSTATE);
    return s && std::strcmp(s, state) == 0;
}

// A failed statement of the pipeline: the first one decides the failure.
void judge(PGconn* conn, const Sent& sent, const PGresult* r, PipelineFailure& out)
{
    if (out.failed)
        return;
    out.failed = true;
    out.what = QStringLiteral("%1 \"%2\"")
                   .arg(sent.preparing ? QStringLiteral("preparar") : QStringLiteral("executar"),
                        sent.shown);
    out.detail = resultErrorText(r);
    out.transient = isTransientResult(r);
    if (sent.preparing && sent.text)
        sent.text->name.clear(); // never made: the next run prepares it again
    else if (preparedStatementGone(conn, sent.text, r))
        out.transient = true; // the transaction runs again and prepares anew
}

} // namespace

QString resultErrorText(const PGresult* r)
{
    const char* primary = PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY);
    return QString::fromUtf8(primary ? primary : PQresultErrorMessage(r));
}

bool isTransientResult(const PGresult* r)
{
    // Deadlock detected, serialization failure.
    return hasState(r, "40P01") || hasState(r, "40001");
}

bool pipelining(PGconn* conn)
{
    return pipelineOf(conn) != nullptr;
}

bool startPipeline(PGconn* conn)
{
    if (PQenterPipelineMode(conn) != 1)
        return false;
    pipelines.push_back(Pipeline{conn, {}});
    return true;
}

void sentInPipeline(PGconn* conn, const QString& shown, PreparedText* text, bool preparing)
{
    if (Pipeline* p = pipelineOf(conn))
        p->sent.push_back(Sent{shown, text, preparing});
}

PipelineFailure finishPipeline(PGconn* conn, PGresult** last)
{
    PipelineFailure out;
    Pipeline* p = pipelineOf(conn);
    if (!p)
        return out;
    const std::vector<Sent> sent = std::move(p->sent);
    std::erase_if(pipelines, [conn](const Pipeline& each) { return each.conn == conn; });
    if (last)
        *last = nullptr;
    const auto lost = [&] {
        if (!out.failed)
            out = PipelineFailure{true,
                                  QStringLiteral("executar \"%1\"")
                                      .arg(sent.empty() ? QString() : sent.front().shown),
                                  QString::fromUtf8(PQerrorMessage(conn)), false};
    };
    if (PQpipelineSync(conn) != 1) {
        lost();
        PQexitPipelineMode(conn);
        return out;
    }
    // Each statement's results end with a null; the sync's own result ends
    // the pipeline. A connection that breaks gives nulls from then on.
    size_t k = 0;
    int nulls = 0;
    for (;;) {
        PGresult* r = PQgetResult(conn);
        if (!r) {
            ++k;
            if (++nulls >= 2 || PQstatus(conn) == CONNECTION_BAD) {
                lost();
                break;
            }
            continue;
        }
        nulls = 0;
        const ExecStatusType status = PQresultStatus(r);
        if (status == PGRES_PIPELINE_SYNC) {
            PQclear(r);
            break;
        }
        if (last && k + 1 == sent.size()) {
            // The caller's own statement: its result is its to judge, after
            // the failures of the statements before it.
            PQclear(*last);
            *last = r;
            continue;
        }
        if (status == PGRES_FATAL_ERROR && k < sent.size())
            judge(conn, sent[k], r, out);
        else if (status == PGRES_FATAL_ERROR)
            lost();
        PQclear(r);
    }
    PQexitPipelineMode(conn);
    return out;
}

} // namespace krt::app::detail
