#pragma once
// Qt's own texts (standard buttons, file dialogs) in Chinese like the rest of the program,
// whatever the machine's locale.
class QCoreApplication;

// Loads Qt's Chinese translations (Debian's qt6-translations-l10n) into the application;
// false, and Qt's English texts, when they are not installed.
bool InstallQtTranslations(QCoreApplication& app);
