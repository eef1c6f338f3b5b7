#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include "ui/Translations.h"

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // What the windows keep between runs goes to a folder of this process's own: tests in
    // other processes neither see nor disturb it.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QApplication::setQuitOnLastWindowClosed(false);
    InstallQtTranslations(app);  // as the program does: Qt's own texts in Chinese
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
