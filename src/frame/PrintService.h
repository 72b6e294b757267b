#pragma once
// Printing: the page setup, print and preview dialogs and the printer they
// share. They live in a module of their own, zelk-print, loaded the first time
// they are needed: Qt's print support is a large library, and loading it with
// the program delayed the first paint of every start for a command most
// sessions never use. Only this interface crosses into the module; code
// outside it passes the printer along but never calls it.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QDialog;
class QPainter;
class QPrinter;
class QRect;
class QWidget;

namespace zelk {

// Shows a dialog modally and returns its result (tests answer instead).
using DialogRunner = std::function<int(QDialog&)>;
// Draws the plot on a page whose printable area, in device pixels, is page.
using PageDrawer = std::function<void(QPainter& painter, const QRect& page)>;

class PrintService {
  public:
    virtual ~PrintService() = default;

    // The session's printer: what page setup and the print dialog choose
    // holds for the next print.
    virtual QPrinter& printer() = 0;
    // The print dialog, then the page when it is accepted. True unless the
    // page was refused (see PrintPage in the module for what that can miss).
    virtual bool PrintWithDialog(QWidget* parent, const DialogRunner& run,
                                 const PageDrawer& draw) = 0;
    // The page straight to printerName (empty: the printer as set).
    virtual bool PrintTo(const QString& printerName, const PageDrawer& draw) = 0;
    virtual void Preview(QWidget* parent, const DialogRunner& run, const PageDrawer& draw) = 0;
    virtual void PageSetup(QWidget* parent, const DialogRunner& run) = 0;
    // Whether the system has a printer of that name (empty: a default one).
    virtual bool HasPrinter(const QString& name) const = 0;
};

// The module's file name without its system's suffix, and its one entry
// point: a function that makes a service the caller owns.
inline constexpr char kPrintModuleName[] = "zelk-print";
inline constexpr char kMakePrintServiceSymbol[] = "ZelkMakePrintService";

// What the print commands say when the module cannot be loaded: "Printing is
// not available." and, on the next lines, why.
QString PrintingUnavailableText(const QString& why);

// Loads the module from beside the program or, installed, from
// ../lib/zelk, and makes a service. Null, with why in error, when there is no
// module that can be loaded. The module found stays loaded, and a failed
// search is not repeated.
std::unique_ptr<PrintService> MakePrintService(QString& error);
// The same from the first of the given module files that loads; error says
// why each one did not.
std::unique_ptr<PrintService> MakePrintServiceFrom(const QStringList& modules, QString& error);

}  // namespace zelk
