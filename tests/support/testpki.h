#pragma once

// Certificates for TLS tests, made in the test's own process with OpenSSL's
// library in a temporary folder: a CA ("ca.crt"/"ca.key"), another CA nobody
// trusts ("other-ca.crt"), a server certificate for 127.0.0.1 signed by the
// first ("server.crt"/"server.key") and one signed by it for another host
// name ("wrongname.crt"/"wrongname.key"); "san.ext" is a text file that is no
// certificate. No child process: the thread sanitizer cannot follow one
// started from a process that already runs threads.

#include <QString>
#include <QTemporaryDir>

namespace testpki {

class TestPki
{
public:
    bool make();
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
};

} // namespace testpki
