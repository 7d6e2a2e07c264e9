#include "host/hostlogin.h"

#include "framework/core/usercontext.h"
#include "framework/wire/errors.h"
#include "framework/wire/httptransport.h"

QString loginAtStart(const HostOptions& options, krt::UserContext& context,
                     const CredentialsPrompt& prompt)
{
    Credentials credentials{options.serverUser, options.serverPassword};
    const bool scripted = !credentials.user.isEmpty() && !credentials.password.isEmpty();
    QString refusal;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if ((!scripted || attempt > 0) && !(prompt && prompt(refusal, credentials)))
            return refusal;
        if (credentials.user.isEmpty())
            continue;
        context.serverUser = credentials.user;
        context.serverPassword = credentials.password;
        krt::HttpCallClient client(options.serverHost, quint16(options.serverPort), 15000);
        try {
            if (!options.serverCaFile.isEmpty())
                client.setTls(options.serverCaFile);
            client.setCredentials(credentials.user, credentials.password);
            const krt::SessionInfo session = client.login();
            if (!session.fixedBranch.isEmpty()) {
                context.branch = session.fixedBranch;
                context.branchFixed = true;
            }
            return {};
        } catch (const krt::Error& e) {
            // Only a refused password is worth asking again; anything else
            // (server down, TLS) is the screen's to report when it connects.
            refusal = e.text();
            if (!refusal.contains(QStringLiteral("Usuário ou senha inválidos")) &&
                !refusal.contains(QStringLiteral("desativado")))
                return refusal;
            if (scripted && !prompt)
                return refusal;
        }
    }
    return refusal;
}
