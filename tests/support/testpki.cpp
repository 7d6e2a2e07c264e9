#include "testpki.h"

#include <QFile>
#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace testpki {

namespace {

struct Freer
{
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
    void operator()(X509* p) const { X509_free(p); }
    void operator()(X509_EXTENSION* p) const { X509_EXTENSION_free(p); }
    void operator()(BIO* p) const { BIO_free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Freer>;
using Cert = std::unique_ptr<X509, Freer>;

struct Issued
{
    Key key;
    Cert cert;
};

bool addExtension(X509* cert, X509* issuer, int nid, const char* value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    std::unique_ptr<X509_EXTENSION, Freer> ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value));
    return ext && X509_add_ext(cert, ext.get(), -1) == 1;
}

// A P-256 key and a certificate valid for two days, signed by `issuer`
// (itself when null) with SHA-256, as `openssl req`/`x509 -req` make them.
Issued issue(const char* commonName, const Issued* issuer, const char* subjectAltName, long serial)
{
    Issued out{Key(EVP_EC_gen("P-256")), Cert(X509_new())};
    X509* cert = out.cert.get();
    if (!out.key || !cert)
        return {};
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), serial);
    X509_gmtime_adj(X509_getm_notBefore(cert), -60);
    X509_gmtime_adj(X509_getm_notAfter(cert), 2L * 24 * 3600);
    X509_set_pubkey(cert, out.key.get());
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509* signer = issuer ? issuer->cert.get() : cert;
    X509_set_issuer_name(cert, X509_get_subject_name(signer));
    bool ok = addExtension(cert, signer, NID_subject_key_identifier, "hash") &&
              addExtension(cert, signer, NID_authority_key_identifier, "keyid:always");
    if (issuer)
        ok = ok && addExtension(cert, signer, NID_subject_alt_name, subjectAltName);
    else
        ok = ok && addExtension(cert, signer, NID_basic_constraints, "critical,CA:TRUE") &&
             addExtension(cert, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    EVP_PKEY* signingKey = issuer ? issuer->key.get() : out.key.get();
    if (!ok || X509_sign(cert, signingKey, EVP_sha256()) == 0)
        return {};
    return out;
}

bool writePem(const QString& path, const Issued& issued, bool withKey, const QString& keyPath)
{
    {
        std::unique_ptr<BIO, Freer> bio(BIO_new_file(QFile::encodeName(path).constData(), "w"));
        if (!bio || PEM_write_bio_X509(bio.get(), issued.cert.get()) != 1)
            return false;
    }
    if (!withKey)
        return true;
    std::unique_ptr<BIO, Freer> bio(BIO_new_file(QFile::encodeName(keyPath).constData(), "w"));
    return bio && PEM_write_bio_PrivateKey(bio.get(), issued.key.get(), nullptr, nullptr, 0,
                                           nullptr, nullptr) == 1;
}

} // namespace

bool TestPki::make()
{
    if (!dir.isValid())
        return false;
    QFile text(file("san.ext"));
    if (!text.open(QIODevice::WriteOnly) || text.write("subjectAltName=IP:127.0.0.1\n") < 0)
        return false;
    text.close();

    const Issued ca = issue("CA de teste", nullptr, nullptr, 1);
    const Issued otherCa = issue("Outra CA", nullptr, nullptr, 2);
    const Issued server = issue("server", &ca, "IP:127.0.0.1", 3);
    const Issued wrongName = issue("wrongname", &ca, "DNS:outro.exemplo", 4);
    if (!ca.cert || !otherCa.cert || !server.cert || !wrongName.cert)
        return false;
    return writePem(file("ca.crt"), ca, true, file("ca.key")) &&
           writePem(file("other-ca.crt"), otherCa, true, file("other-ca.key")) &&
           writePem(file("server.crt"), server, true, file("server.key")) &&
           writePem(file("wrongname.crt"), wrongName, true, file("wrongname.key"));
}

} // namespace testpki
