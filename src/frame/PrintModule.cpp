// The zelk-print module: PrintService on Qt's print support. The only code
// of Zelk that links it.

#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QtGlobal>

#include "frame/PrintService.h"

namespace zelk {
namespace {

// One page, the plot drawn in the printable area. False when the print
// engine refused it; Qt's PDF engine does not report a failed write, so true
// is no proof that the file is whole.
bool PrintPage(QPrinter& target, const PageDrawer& draw) {
    QPainter painter;
    if (!painter.begin(&target)) {
        return false;
    }
    const QRect page(QPoint(0, 0), target.pageLayout().paintRectPixels(target.resolution()).size());
    draw(painter, page);
    return painter.end();
}

class QtPrintService final : public PrintService {
  public:
    QPrinter& printer() override { return printer_; }

    bool PrintWithDialog(QWidget* parent, const DialogRunner& run,
                         const PageDrawer& draw) override {
        QPrintDialog dialog(&printer_, parent);
        if (run(dialog) != QDialog::Accepted) {
            return false;
        }
        return PrintPage(printer_, draw);
    }

    bool PrintTo(const QString& printerName, const PageDrawer& draw) override {
        if (!printerName.isEmpty()) {
            printer_.setPrinterName(printerName);
        }
        return PrintPage(printer_, draw);
    }

    void Preview(QWidget* parent, const DialogRunner& run, const PageDrawer& draw) override {
        QPrintPreviewDialog dialog(&printer_, parent);
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested,
                         [&draw](QPrinter* target) { PrintPage(*target, draw); });
        run(dialog);
    }

    void PageSetup(QWidget* parent, const DialogRunner& run) override {
        QPageSetupDialog dialog(&printer_, parent);
        run(dialog);
    }

    bool HasPrinter(const QString& name) const override {
        return !(name.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(name))
                    .isNull();
    }

  private:
    QPrinter printer_{QPrinter::HighResolution};
};

}  // namespace
}  // namespace zelk

extern "C" Q_DECL_EXPORT zelk::PrintService* ZelkMakePrintService() {
    return new zelk::QtPrintService;
}
