#include "frame/CZelkView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include "commands/CommandIds.h"
#include "commands/TaskCommands.h"
#include "frame/PlotPrinting.h"
#include "frame/QPainterSurface.h"
#include "platform/Platform.h"
#include "plot/CPlotter.h"
#include "plot/DrawPass.h"
#include "plot/PlotState.h"
#include "plot/Readers.h"

namespace zelk {

CZelkView::CZelkView(QWidget* parent)
    : QWidget(parent),
      state_(std::make_unique<PlotState>()),
      plotter_(std::make_unique<CPlotter>()),
      guiHost_(std::make_unique<GuiHost>(*this)),
      host_(guiHost_.get()),
      commands_(std::make_unique<TaskCommands>(*state_, *guiHost_)),
      dialogRunner_([](QDialog& dialog) { return dialog.exec(); }) {
    setObjectName(QStringLiteral("CZelkView"));
    setAttribute(Qt::WA_OpaquePaintEvent);  // the drawing pass paints every pixel
    setFocusPolicy(Qt::StrongFocus);
    // The right button belongs to the axis command; no menu opens after it.
    setContextMenuPolicy(Qt::PreventContextMenu);
    setMinimumSize(1, 1);
    connect(guiHost_.get(), &GuiHost::busyChanged, this, &CZelkView::busyChanged);
}

CZelkView::~CZelkView() = default;

void CZelkView::UseHost(Host& host) {
    const NewModelDlgData kept = commands_->newModelDlg();
    host_ = &host;
    commands_ = std::make_unique<TaskCommands>(*state_, host);
    commands_->newModelDlg() = kept;
}

void CZelkView::OnInitialUpdate() {
    state_->snapshotCount = 0;
    state_->fitRunCount = 0;
    update();
}

bool CZelkView::OnCommand(int id) {
    switch (id) {
        case ID_FILE_PRINT:
            OnFilePrint();
            return true;
        case ID_FILE_PRINT_DIRECT:
            OnFilePrintDirect(QString());
            return true;
        case ID_FILE_PRINT_PREVIEW:
            OnFilePrintPreview();
            return true;
        default:
            return commands_->Execute(id);
    }
}

void CZelkView::LoadTaskWithoutEditor() {
    PlotState& s = *state_;
    s.workDir = platform::CurrentDirectory();
    s.windowsDir = platform::WindowsDirectory();
    Host& host = *host_;
    ReadTaskFile(s, host);
    ReadCurveFiles(s, host);
    ReadAxisFile(s, host);
    ReadCurveFiles(s, host);
    host.Redraw();
}

void CZelkView::paintEvent(QPaintEvent*) {
    if (width() <= 0 || height() <= 0) {
        return;
    }
    QPainter painter(this);
    if (devicePixelRatioF() != 1.0) {
        // Qt draws the lines at the screen's scale, so they stay sharp.
        QPainterSurface surface(painter);
        DrawPass(*state_, *plotter_, surface);
        return;
    }
    // At scale 1 the pass paints into an image first: there the surface sets
    // every pixel exactly as the plot's pixel rules say, and fast.
    if (frame_.size() != size()) {
        frame_ = QImage(size(), QImage::Format_RGB32);
    }
    {
        QPainter imagePainter(&frame_);
        QPainterSurface surface(imagePainter);
        DrawPass(*state_, *plotter_, surface);
    }
    painter.drawImage(0, 0, frame_);
    if (!painted_) {
        painted_ = true;
        emit firstPainted();
    }
}

void CZelkView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    state_->clientWidth = width();
    state_->clientHeight = height();
}

void CZelkView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        commands_->OnRightButton();
        return;
    }
    QWidget::mousePressEvent(event);
}

QPrinter& CZelkView::printer() {
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    }
    return *printer_;
}

bool CZelkView::PrintTo(QPrinter& target) {
    QPainter painter;
    if (!painter.begin(&target)) {
        return false;
    }
    const QRect page(QPoint(0, 0), target.pageLayout().paintRectPixels(target.resolution()).size());
    DrawPlotOnPage(*state_, *plotter_, painter, page);
    painter.end();
    emit printed();
    return true;
}

void CZelkView::OnFilePrint() {
    QPrinter& target = printer();
    QPrintDialog dialog(&target, this);
    if (dialogRunner_(dialog) != QDialog::Accepted) {
        return;
    }
    PrintTo(target);
}

bool CZelkView::OnFilePrintDirect(const QString& printerName) {
    QPrinter& target = printer();
    if (!printerName.isEmpty()) {
        target.setPrinterName(printerName);
    }
    return PrintTo(target);
}

void CZelkView::OnFilePrintPreview() {
    QPrintPreviewDialog dialog(&printer(), this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* target) { PrintTo(*target); });
    dialogRunner_(dialog);
}

}  // namespace zelk
