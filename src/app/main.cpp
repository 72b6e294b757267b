// Process entry of the Zelk application.

#include <QApplication>
#include <QIcon>
#include <clocale>
#include <cstdio>
#include <cstring>

#include "app/CZelkApp.h"
#include "app/CommandLine.h"
#include "app/TerminationSignals.h"
#include "frame/AppInfo.h"

int main(int argc, char** argv) {
    // Help and version need no display.
    if (argc == 2) {
        const char* a = argv[1];
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0 ||
            std::strcmp(a, "/?") == 0) {
            std::fputs(zelk::UsageText().toLocal8Bit().constData(), stdout);
            return 0;
        }
        if (std::strcmp(a, "--version") == 0) {
            std::printf("Zelk %s\n", zelk::kAppVersion);
            return 0;
        }
    }

    QApplication app(argc, argv);
    // Qt takes the process locale from the environment; numbers in the task's
    // files are always read and written with a decimal point.
    std::setlocale(LC_NUMERIC, "C");
    Q_INIT_RESOURCE(zelk);
    QApplication::setApplicationName(QString::fromLatin1(zelk::kSettingsApplication));
    QApplication::setOrganizationName(QString::fromLatin1(zelk::kSettingsOrganisation));
    QApplication::setApplicationVersion(QString::fromLatin1(zelk::kAppVersion));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/zelk/zelk.svg")));
    QGuiApplication::setDesktopFileName(QStringLiteral("zelk"));

    zelk::CZelkApp zelkApp;
    if (const std::optional<int> status = zelkApp.InitInstance(QApplication::arguments().mid(1))) {
        return *status;
    }
    // From here on a signal to end Zelk first stops a running fit, so that
    // its command can put FIT.INP back.
    zelk::TerminationSignals endSignals;
    QObject::connect(&endSignals, &zelk::TerminationSignals::received,
                     [&zelkApp](int signalNumber) { zelkApp.OnTerminationSignal(signalNumber); });
    endSignals.Install();
    const int status = QApplication::exec();
    zelkApp.ExitInstance();
    return status;
}
