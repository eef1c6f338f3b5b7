#include "ui/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool InstallQtTranslations(QCoreApplication& app)
{
    auto* pTranslator = new QTranslator(&app);
    if (!pTranslator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete pTranslator;
        return false;
    }
    return QCoreApplication::installTranslator(pTranslator);
}
