#pragma once

class QCoreApplication;

// Qt's own texts (message box buttons, file dialogs, context menus of edits)
// in Brazilian Portuguese, as the rest of the application; dates and numbers
// in the Brazilian format. Without the translation files installed Qt's
// English texts stay; false tells so.
bool installPortugueseTranslations(QCoreApplication& app);
