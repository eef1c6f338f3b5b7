#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Quelt.h"
#include "app/Recording.h"
#include "app/RunState.h"
#include "channel/PortMap.h"
#include "core/Config.h"
#include "core/Notify.h"
#include "sim/DemoRtu.h"
#include "ui/QtNotify.h"
#include "ui/QtShell.h"
#include "ui/Translations.h"

int main(int argc, char* argv[])
{
    const CommandLine cl = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!cl.Error.empty()) {
        std::fprintf(stderr, "quelt: %s\n", cl.Error.c_str());
        return 2;
    }
    if (cl.bHelp) {
        std::fputs(CommandLineUsage(), stdout);
        return 0;
    }
    if (cl.bVersion) {
        std::fputs(VersionText().c_str(), stdout);
        return 0;
    }
    if (cl.bVerbose)
        SetVerboseTraces(true);
    for (int nPort = 0; nPort < 2; ++nPort)
        if (!cl.Devices[nPort].empty())
            MapPortDevice(nPort, cl.Devices[nPort]);
    CDemoRtu demo;
    SimOptions demoOptions = CDemoRtu::DemoOptions();
    demoOptions.bUtcTime = cl.bUtcTime;  // the demo's RTU keeps the master's convention
    std::string reason;
    if (cl.bDemo && cl.bTcp && !demo.StartOnTcp(demoOptions, reason)) {
        std::fprintf(stderr, "quelt: cannot start the demo's RTU on TCP: %s\n", reason.c_str());
        return 1;
    }
    if (cl.bDemo && !cl.bTcp && !demo.Start(demoOptions)) {
        std::perror("quelt: cannot create the demo's pseudo-terminals");
        return 1;
    }

    int nQtArgc = 1;  // the options are ours, not Qt's
    QApplication app(nQtArgc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quelt"));  // settings: ~/.config/Quelt/Quelt.conf
    QApplication::setApplicationName(QStringLiteral("Quelt"));
    QApplication::setApplicationVersion(QStringLiteral(QUELT_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    if (!InstallQtTranslations(app))
        std::fputs("quelt: Qt's Chinese translations (qt6-translations-l10n) are not installed\n", stderr);
    InstallQtNotify();

    SetAutoStart(cl.bDemo || cl.bAuto);
    SetStartupTimeFormat(cl.bUtcTime ? TIME_FORMAT_UTC : TIME_FORMAT_MONTH);
    SetStartupRecording({cl.RecordPath, cl.nRecordMaxMb, cl.nRecordFiles});
    CQtShell shell;
    theApp.InitInstance(shell);
    const int nResult = theApp.ExitInstance();
    demo.Stop();  // after the master has let go of its ports
    return nResult;
}
