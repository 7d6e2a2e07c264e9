#pragma once

#include <QString>
#include <QStringList>

namespace krt::app {

// Who calls a method and what that caller may touch. The server builds it
// from the authenticated session (never from anything the client sends);
// tools and tests that call the object directly name themselves and may
// touch every branch.
struct Caller
{
    // The authenticated user; empty for a direct (in-process) caller.
    QString user;
    // What the audit writes as the requester: the user with the client's
    // address and request number, or the direct caller's own name.
    QString requester;
    bool allBranches = true;
    QStringList branches;

    Caller() = default;
    Caller(const QString& name) : requester(name) {}
    Caller(const char* name) : requester(QString::fromUtf8(name)) {}

    bool allows(const QString& branch) const { return allBranches || branches.contains(branch); }
    // "todas as filiais" or "filiais 0001, 0003", for refusal texts.
    QString allowedText() const
    {
        if (allBranches)
            return QStringLiteral("todas as filiais");
        return (branches.size() == 1 ? QStringLiteral("filial ") : QStringLiteral("filiais ")) +
               branches.join(QStringLiteral(", "));
    }
};

} // namespace krt::app
