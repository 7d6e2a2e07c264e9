#pragma once

#include <QString>

class QWidget;

namespace krt {

// The working context that the host gives the modules: the user's branch,
// whether it may be changed, where the application server is and the edit
// mask of product-tree codes.
struct UserContext
{
    QString branch;
    bool branchFixed = false;
    QString webUrl = QStringLiteral("127.0.0.1");
    int webPort = 0;
    QString productTreeMask;
    // Who the application server should see: the connection logs in with
    // these before its first call. Empty user: no login (the server refuses
    // the calls).
    QString serverUser;
    QString serverPassword;
    // Talk TLS to the server and trust only certificates from the CAs in this
    // PEM file; empty: plain HTTP.
    QString serverCaFile;
};

const UserContext& userContext();
void setUserContext(const UserContext& context);

} // namespace krt

// Kinds of edit picture the host keeps; the first is the product-tree code.
enum TPictType
{
    ptArvoreProduto = 0,
    ptCodigoProduto,
    ptCodigoBarras
};

// The user's current branch.
QString FiliProc();
// True when the user may not change the branch.
bool ModuFili();
// Edit mask for codes of the given kind (empty when the host defines none).
QString DBPict(TPictType kind);
inline QString DBPict(int kind)
{
    return DBPict(static_cast<TPictType>(kind));
}
// Application server host and port.
QString WebURL();
int WebPort();
// Translates a form's captions to the user's language; pt-BR is the source
// language, so nothing changes.
void Trad(QWidget* form);
