#pragma once
// The command line: nothing (a new document), a file to open, the print
// switches, a task folder to load, or help and version.

#include <QString>
#include <QStringList>

namespace zelk {

struct CommandLineInfo {
    enum class Action {
        FileNew,   // no argument
        FileOpen,  // a file name
        Print,     // /p FILE: print on the default printer and end
        PrintTo,   // /pt FILE PRINTER [DRIVER PORT]: print on PRINTER and end
        Task,      // --task DIR
        Help,
        Version,
        Quit,   // a switch that asks only for an orderly end (/Unregister)
        Error,  // unusable; error says why
    };
    Action action = Action::FileNew;
    QString fileName;
    QString printerName;
    QString driverName;
    QString portName;
    QString taskDir;
    QString error;
};

// args without the program's own name.
CommandLineInfo ParseCommandLine(const QStringList& args);

QString UsageText();

}  // namespace zelk
