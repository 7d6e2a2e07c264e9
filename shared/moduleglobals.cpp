#include "shared/moduleglobals.h"

QPointer<TfrmCancelaConsoli> frmCancelaConsoli;
bool boIdCriado = false;
bool boPrimVez = false;
QString stFilBool[2] = {QStringLiteral("N"), QStringLiteral("S")};
QString stCdAlmox;
QString stCdLocal;
