#pragma once

// One libpq connection as the benchmarks' floors use it: opened once with
// the server's session settings, each statement prepared on the server the
// first time it runs and kept, as the server's workers keep theirs.

#include <QByteArray>
#include <libpq-fe.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace krt::bench {

// A statement's result; cleared when it goes.
using PgResult = std::unique_ptr<PGresult, decltype(&PQclear)>;

class PgSession
{
public:
    explicit PgSession(const QByteArray& connection);
    ~PgSession();
    PgSession(const PgSession&) = delete;
    PgSession& operator=(const PgSession&) = delete;

    // Runs `sql` as it is (no parameters); throws std::runtime_error on failure.
    PgResult exec(const char* sql);
    // Prepares `sql` on the server once; its name there. Throws.
    const std::string& prepare(const char* sql);
    // Runs `sql` prepared, with text parameters ($1, $2 ...); throws.
    PgResult run(const char* sql, const std::vector<std::string>& values = {});
    // Runs the statements prepared, sent together in one pipeline (the
    // server's deferred changes and their COMMIT); throws on the first failure.
    struct Pipelined
    {
        const char* sql;
        std::vector<std::string> values;
    };
    void runTogether(const std::vector<Pipelined>& statements);
    // COPY `table` FROM STDIN with `data` (tab-separated lines); throws.
    void copyIn(const char* table, const std::string& data);
    PGconn* handle() const { return conn_; }

private:
    PgResult check(PGresult* r);

    PGconn* conn_;
    std::map<std::string, std::string> names_;
};

} // namespace krt::bench
