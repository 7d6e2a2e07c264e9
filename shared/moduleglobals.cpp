#include "shared/moduleglobals.h"

TfrmCancelaConsoli* frmCancelaConsoli = nullptr;
bool boIdCriado = false;
bool boPrimVez = false;
QString stFilBool[2] = {QStringLiteral("N"), QStringLiteral("S")};
QString stCdAlmox;
QString stCdLocal;
