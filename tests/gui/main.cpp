#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>

#include "ui/Translations.h"

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);  // settings the windows keep go to a test folder
    QApplication::setQuitOnLastWindowClosed(false);
    InstallQtTranslations(app);  // as the program does: Qt's own texts in Chinese
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
