#pragma once

// Certificates for TLS tests, made by the openssl command in a temporary
// folder: a CA ("ca.crt"/"ca.key"), another CA nobody trusts
// ("other-ca.crt"), a server certificate for 127.0.0.1 signed by the first
// ("server.crt"/"server.key") and one signed by it for another host name
// ("wrongname.crt"/"wrongname.key").

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace testpki {

inline bool openssl(const QStringList& args, const QString& dir)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(QStringLiteral("openssl"), args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

class TestPki
{
public:
    bool make()
    {
        const QString d = dir.path();
        const QStringList ec{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
        QFile ext(dir.filePath("san.ext"));
        if (!ext.open(QIODevice::WriteOnly))
            return false;
        ext.write("subjectAltName=IP:127.0.0.1\n");
        ext.close();
        QFile other(dir.filePath("other.ext"));
        if (!other.open(QIODevice::WriteOnly))
            return false;
        other.write("subjectAltName=DNS:outro.exemplo\n");
        other.close();
        return openssl(QStringList{"req", "-x509"} + ec +
                           QStringList{"-keyout", "ca.key", "-out", "ca.crt", "-days", "2", "-subj",
                                       "/CN=CA de teste"},
                       d) &&
               openssl(QStringList{"req", "-x509"} + ec +
                           QStringList{"-keyout", "other-ca.key", "-out", "other-ca.crt", "-days",
                                       "2", "-subj", "/CN=Outra CA"},
                       d) &&
               signed_("server", "san.ext") && signed_("wrongname", "other.ext");
    }
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;

private:
    bool signed_(const QString& name, const QString& extFile)
    {
        const QString d = dir.path();
        return openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                        "-nodes", "-keyout", name + ".key", "-out", name + ".csr", "-subj",
                        "/CN=" + name},
                       d) &&
               openssl({"x509", "-req", "-in", name + ".csr", "-CA", "ca.crt", "-CAkey", "ca.key",
                        "-CAcreateserial", "-out", name + ".crt", "-days", "2", "-extfile",
                        extFile},
                       d);
    }
};

} // namespace testpki
