#include "frame/PrintService.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <QStringList>

namespace zelk {

namespace {

using MakeFunction = PrintService* (*)();

// Where the module may be: beside the program (the build tree, Windows), and
// in the library folder of an installed tree.
QStringList ModuleCandidates() {
    const QDir program(QCoreApplication::applicationDirPath());
    return {
        program.filePath(QString::fromLatin1(kPrintModuleName)),
        program.filePath(QStringLiteral("../lib/zelk/") + QString::fromLatin1(kPrintModuleName))};
}

// The module's entry point from the first file that has one.
MakeFunction FindModule(const QStringList& modules, QString& error) {
    QStringList reasons;
    for (const QString& file : modules) {
        QLibrary module(file);
        if (auto make = reinterpret_cast<MakeFunction>(module.resolve(kMakePrintServiceSymbol))) {
            return make;
        }
        reasons.append(module.errorString());
    }
    error = reasons.join(QLatin1Char('\n'));
    return nullptr;
}

}  // namespace

QString PrintingUnavailableText(const QString& why) {
    return QStringLiteral("Printing is not available.\n%1").arg(why);
}

std::unique_ptr<PrintService> MakePrintService(QString& error) {
    static QString failure;
    static const MakeFunction make = FindModule(ModuleCandidates(), failure);
    if (make == nullptr) {
        error = failure;
        return nullptr;
    }
    return std::unique_ptr<PrintService>(make());
}

std::unique_ptr<PrintService> MakePrintServiceFrom(const QStringList& modules, QString& error) {
    const MakeFunction make = FindModule(modules, error);
    return make == nullptr ? nullptr : std::unique_ptr<PrintService>(make());
}

}  // namespace zelk
