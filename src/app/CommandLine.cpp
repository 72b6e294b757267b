#include "app/CommandLine.h"

namespace zelk {
namespace {

// The name of a switch without its leading "/", "-" or "--", in lower case.
QString SwitchName(const QString& arg);

bool IsKnownSwitch(const QString& name) {
    static const QStringList known = {
        QStringLiteral("help"),      QStringLiteral("h"),          QStringLiteral("?"),
        QStringLiteral("version"),   QStringLiteral("v"),          QStringLiteral("p"),
        QStringLiteral("print"),     QStringLiteral("pt"),         QStringLiteral("print-to"),
        QStringLiteral("task"),      QStringLiteral("dde"),        QStringLiteral("automation"),
        QStringLiteral("embedding"), QStringLiteral("unregister"), QStringLiteral("unregserver"),
        QStringLiteral("regserver")};
    return known.contains(name);
}

// "-x" is always a switch; "/x" only when x is one of ours, so that an
// absolute path such as "/data" still names a file.
bool IsSwitch(const QString& arg) {
    if (arg.startsWith(QLatin1Char('-'))) {
        return true;
    }
    return arg.startsWith(QLatin1Char('/')) && IsKnownSwitch(SwitchName(arg));
}

// The name of a switch without its leading "/", "-" or "--", in lower case.
QString SwitchName(const QString& arg) {
    QString name = arg;
    while (name.startsWith(QLatin1Char('-')) || name.startsWith(QLatin1Char('/'))) {
        name.remove(0, 1);
    }
    return name.toLower();
}

CommandLineInfo Fail(const QString& why) {
    CommandLineInfo info;
    info.action = CommandLineInfo::Action::Error;
    info.error = why;
    return info;
}

}  // namespace

CommandLineInfo ParseCommandLine(const QStringList& args) {
    CommandLineInfo info;
    if (args.isEmpty()) {
        return info;
    }
    const QString& first = args.front();
    if (first == QLatin1String("--")) {
        if (args.size() != 2) {
            return Fail(QStringLiteral("expected one file name after --"));
        }
        info.action = CommandLineInfo::Action::FileOpen;
        info.fileName = args[1];
        return info;
    }
    if (!IsSwitch(first)) {
        if (args.size() > 1) {
            return Fail(QStringLiteral("unexpected argument: %1").arg(args[1]));
        }
        info.action = CommandLineInfo::Action::FileOpen;
        info.fileName = first;
        return info;
    }

    const QString name = SwitchName(first);
    const QStringList rest = args.mid(1);
    if (name == QLatin1String("help") || name == QLatin1String("h") || name == QLatin1String("?")) {
        info.action = CommandLineInfo::Action::Help;
    } else if (name == QLatin1String("version") || name == QLatin1String("v")) {
        info.action = CommandLineInfo::Action::Version;
    } else if (name == QLatin1String("p") || name == QLatin1String("print")) {
        if (rest.size() != 1) {
            return Fail(QStringLiteral("%1 needs exactly one file name").arg(first));
        }
        info.action = CommandLineInfo::Action::Print;
        info.fileName = rest[0];
    } else if (name == QLatin1String("pt") || name == QLatin1String("print-to")) {
        if (rest.size() != 2 && rest.size() != 4) {
            return Fail(QStringLiteral("%1 needs FILE PRINTER [DRIVER PORT]").arg(first));
        }
        info.action = CommandLineInfo::Action::PrintTo;
        info.fileName = rest[0];
        info.printerName = rest[1];
        if (rest.size() == 4) {
            info.driverName = rest[2];
            info.portName = rest[3];
        }
    } else if (name == QLatin1String("task")) {
        if (rest.size() != 1) {
            return Fail(QStringLiteral("%1 needs exactly one folder").arg(first));
        }
        info.action = CommandLineInfo::Action::Task;
        info.taskDir = rest[0];
    } else if (name == QLatin1String("dde") || name == QLatin1String("automation") ||
               name == QLatin1String("embedding")) {
        // Shell conversation and automation mean nothing here: an ordinary start.
        info.action = CommandLineInfo::Action::FileNew;
    } else if (name == QLatin1String("unregister") || name == QLatin1String("unregserver") ||
               name == QLatin1String("regserver")) {
        info.action = CommandLineInfo::Action::Quit;
    } else {
        return Fail(QStringLiteral("unknown option: %1").arg(first));
    }
    return info;
}

QString UsageText() {
    return QStringLiteral(
        "Usage: zelk [FILE]\n"
        "       zelk DIR | --task DIR\n"
        "       zelk /p FILE | -p FILE | --print FILE\n"
        "       zelk /pt FILE PRINTER [DRIVER PORT] | --print-to FILE PRINTER [DRIVER PORT]\n"
        "       zelk --help | --version\n"
        "\n"
        "Shows and fits the curves of a fitting task (a folder holding START_A.INP).\n"
        "\n"
        "  FILE               open FILE as the document (its name goes into the caption)\n"
        "  DIR, --task DIR    make DIR the working directory and show its task at once\n"
        "  /p, --print FILE   print the plot on the default printer, then end\n"
        "  /pt, --print-to    print the plot on PRINTER, then end\n"
        "  --help             show this text\n"
        "  --version          show the version\n");
}

}  // namespace zelk
