#include "frame/CZelkView.h"

#include <filesystem>
#include <system_error>

#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QRubberBand>
#include <QWheelEvent>
#include <cmath>

#include "commands/CommandIds.h"
#include "commands/TaskCommands.h"
#include "frame/LiveReload.h"
#include "frame/PlotPrinting.h"
#include "frame/QPainterSurface.h"
#include "frame/ViewPixels.h"
#include "platform/Platform.h"
#include "plot/CPlotter.h"
#include "plot/DrawPass.h"
#include "plot/PlotState.h"
#include "plot/Readers.h"

namespace zelk {

CZelkView::CZelkView(QWidget* parent)
    : QWidget(parent),
      state_(std::make_unique_for_overwrite<PlotState>()),
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
    setMouseTracking(true);
    liveReload_ =
        std::make_unique<LiveReload>(*state_, [this] { return busy() || commandDepth_ > 0; });
    // What the editor or the fitting program wrote is the command's to read;
    // once the command is over, the files as they are count as read.
    connect(
        guiHost_.get(), &GuiHost::busyChanged, this,
        [this](bool nowBusy) {
            // Inside a command, the command says what it read when it ends.
            if (!nowBusy && !busy() && commandDepth_ == 0) {
                liveReload_->Rearm();
            }
        },
        Qt::QueuedConnection);
    connect(liveReload_.get(), &LiveReload::reloaded, this,
            [this](const QStringList&, bool axisChanged) {
                if (axisChanged) {
                    ResetZoom();
                }
                update();
                ShowReadout(mapFromGlobal(QCursor::pos()));
            });
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

namespace {

// Which of the followed files a command reads itself.
LiveReload::Reads ReadsOf(int id) {
    switch (id) {
        case ID_SET_TASK:
        case ID_TASK:
        case ID_NEW_MODEL:
            return LiveReload::Reads::Everything;
        case ID_EDIT_AXIS:
            return LiveReload::Reads::Axis;
        case ID_RUN_PLACEHOLDER_FIT:
        case ID_RUN_EDITED_FIT:
        case ID_RELOAD:
            return LiveReload::Reads::Curves;
        default:
            return LiveReload::Reads::Nothing;
    }
}

}  // namespace

bool CZelkView::OnCommand(int id) {
    const CommandScope command(commandDepth_);
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
        case ID_RUN_PLACEHOLDER_FIT:
        case ID_RUN_EDITED_FIT: {
            // Notices from here to the end of the command concern the run.
            struct FitCommandScope {
                GuiHost& host;
                explicit FitCommandScope(GuiHost& h) : host(h) { host.BeginFitCommand(); }
                ~FitCommandScope() { host.EndFitCommand(); }
                FitCommandScope(const FitCommandScope&) = delete;
                FitCommandScope& operator=(const FitCommandScope&) = delete;
            } scope(*guiHost_);
            commands_->Execute(id);
            liveReload_->TakeAsRead(ReadsOf(id));
            return true;
        }
        default:
            break;
    }
    const ViewRanges fileBefore = FileRanges(*state_);
    if (!commands_->Execute(id)) {
        return false;
    }
    // A command that read new ranges from the axis file shows them.
    if (!(FileRanges(*state_) == fileBefore)) {
        ResetZoom();
    }
    // What the command read is what is on screen now.
    liveReload_->TakeAsRead(ReadsOf(id));
    return true;
}

void CZelkView::LoadTaskWithoutEditor() {
    const CommandScope command(commandDepth_);
    PlotState& s = *state_;
    s.workDir = platform::CurrentDirectory();
    s.windowsDir = platform::WindowsDirectory();
    commands_->RecoverInterruptedFitRun();
    Host& host = *host_;
    ReadTaskFile(s, host);
    ReadCurveFiles(s, host);
    // "&Set Task" reports a missing axis file when it opens the editor on it;
    // without the editor the check is made here, or the plot would stay
    // blank without a word.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(s.axisFile, ec)) {
        host.ShowMessage(
            "CAN NOT FIND FILE: fileAXIS\n" +
            (s.axisFile.empty() ? std::string("(START_A.INP names no axis file)") : s.axisFile));
    }
    ReadAxisFile(s, host);
    ReadCurveFiles(s, host);
    ResetZoom();
    liveReload_->Rearm();
    host.Redraw();
}

void CZelkView::paintEvent(QPaintEvent* event) {
    if (width() <= 0 || height() <= 0) {
        return;
    }
    QPainter painter(this);
    ViewRanges storage;
    lastPaintInPlace_ = false;
    if (devicePixelRatioF() != 1.0) {
        // Qt draws the lines at the screen's scale, so they stay sharp.
        QPainterSurface surface(painter);
        DrawPass(*state_, *plotter_, surface);
    } else if (PaintInPlace(painter, *event, zoomedRanges(storage))) {
        lastPaintInPlace_ = true;
    } else {
        // At scale 1 the pass paints into an image first: there the surface
        // sets every pixel exactly as the plot's pixel rules say, and fast.
        PaintViewImage(frame_, *state_, *plotter_, zoomedRanges(storage));
        painter.drawImage(0, 0, frame_);
    }
    if (!painted_) {
        painted_ = true;
        emit firstPainted();
    }
}

bool CZelkView::PaintInPlace(QPainter& painter, const QPaintEvent& event, const ViewRanges* view) {
    // Only a paint of the whole view with nothing of ours above it (the
    // rubber band): then every pixel of the view's part of the window's
    // image is the plot's, and the pass may write them itself.
    if (!(QRegion(rect()) - event.region()).isEmpty()) {
        return false;
    }
    for (const QObject* child : children()) {
        if (child->isWidgetType() && static_cast<const QWidget*>(child)->isVisible()) {
            return false;
        }
    }
    QPaintEngine* engine = painter.paintEngine();
    if (engine == nullptr || engine->type() != QPaintEngine::Raster) {
        return false;
    }
    QPaintDevice* device = engine->paintDevice();
    if (device == nullptr || device->devType() != QInternal::Image) {
        return false;
    }
    auto* image = static_cast<QImage*>(device);
    if ((image->format() != QImage::Format_RGB32 &&
         image->format() != QImage::Format_ARGB32_Premultiplied) ||
        !image->isDetached()) {
        return false;
    }
    // Where the view lies in that image: a whole-pixel move and nothing else.
    const QTransform toDevice = painter.deviceTransform();
    if (toDevice.type() > QTransform::TxTranslate || toDevice.dx() != std::floor(toDevice.dx()) ||
        toDevice.dy() != std::floor(toDevice.dy())) {
        return false;
    }
    const QRect target(QPoint(static_cast<int>(toDevice.dx()), static_cast<int>(toDevice.dy())),
                       size());
    if (!image->rect().contains(target)) {
        return false;
    }
    const QRegion clip = engine->systemClip();
    if (!clip.isEmpty() && !(QRegion(target) - clip).isEmpty()) {
        return false;
    }
    const int stride = static_cast<int>(image->bytesPerLine() / 4);
    auto* first = reinterpret_cast<std::uint32_t*>(image->bits()) +
                  static_cast<std::ptrdiff_t>(target.y()) * stride + target.x();
    // The window's image is fresh memory on the first paint and after each
    // resize: its pages are asked for in one go rather than one fault each.
    const std::size_t bytes =
        (static_cast<std::size_t>(target.height() - 1) * static_cast<std::size_t>(stride) +
         static_cast<std::size_t>(target.width())) *
        sizeof(std::uint32_t);
    if (first != preparedImage_ || bytes != preparedBytes_) {
        platform::PrepareToWrite(first, bytes);
        preparedImage_ = first;
        preparedBytes_ = bytes;
    }
    return PaintViewPixels(first, stride, target.width(), target.height(), *state_, *plotter_,
                           view);
}

const ViewRanges* CZelkView::zoomedRanges(ViewRanges& storage) const {
    if (!zoom_.zoomed()) {
        return nullptr;
    }
    storage = zoom_.Current(*state_);
    return &storage;
}

QImage CZelkView::PlotImage() {
    QImage image;
    ViewRanges storage;
    PaintViewImage(image, *state_, *plotter_, zoomedRanges(storage));
    return image;
}

void CZelkView::ResetZoom() {
    if (!zoom_.zoomed()) {
        return;
    }
    zoom_.Reset();
    ZoomChanged();
}

void CZelkView::ZoomChanged() {
    emit zoomChanged(zoom_.zoomed());
    update();
    ShowReadout(mapFromGlobal(QCursor::pos()));
}

void CZelkView::ShowReadout(const QPoint& at) {
    if (!rect().contains(at)) {
        emit readoutChanged(QString());
        return;
    }
    emit readoutChanged(
        QString::fromStdString(ReadoutAt(*state_, zoom_.Current(*state_), at.x(), at.y())));
}

void CZelkView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    state_->clientWidth = width();
    state_->clientHeight = height();
    // A zoom that was at its limit may not be on more pixels.
    const bool wasZoomed = zoom_.zoomed();
    zoom_.Refit(*state_);
    if (wasZoomed != zoom_.zoomed()) {
        emit zoomChanged(zoom_.zoomed());
    }
}

void CZelkView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        {
            const CommandScope command(commandDepth_);
            commands_->OnRightButton();
        }
        // The axis file may say something new: it is what is shown now.
        ResetZoom();
        liveReload_->TakeAsRead(LiveReload::Reads::Axis);
        update();
        return;
    }
    const bool pan =
        event->button() == Qt::MiddleButton ||
        (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier) != 0);
    if (pan || event->button() == Qt::LeftButton) {
        event->accept();
        drag_ = pan ? Drag::Pan : Drag::Band;
        dragStart_ = dragLast_ = event->position().toPoint();
        if (!pan) {
            if (band_ == nullptr) {
                band_ = new QRubberBand(QRubberBand::Rectangle, this);
            }
            band_->setGeometry(QRect(dragStart_, QSize()));
            band_->show();
        } else {
            setCursor(Qt::ClosedHandCursor);
        }
        return;
    }
    QWidget::mousePressEvent(event);
}

void CZelkView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (drag_ == Drag::Band && band_ != nullptr) {
        band_->setGeometry(QRect(dragStart_, at).normalized());
    } else if (drag_ == Drag::Pan) {
        const QPoint delta = at - dragLast_;
        dragLast_ = at;
        if (zoom_.Pan(*state_, delta.x(), delta.y())) {
            ZoomChanged();
        }
    }
    ShowReadout(at);
}

void CZelkView::mouseReleaseEvent(QMouseEvent* event) {
    if (drag_ == Drag::None) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    const Drag drag = drag_;
    drag_ = Drag::None;
    unsetCursor();
    if (drag == Drag::Band) {
        if (band_ != nullptr) {
            band_->hide();
        }
        const QPoint end = event->position().toPoint();
        if (zoom_.ZoomToPixels(*state_, dragStart_.x(), dragStart_.y(), end.x(), end.y())) {
            ZoomChanged();
        }
    }
}

void CZelkView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        event->accept();
        drag_ = Drag::None;
        if (band_ != nullptr) {
            band_->hide();
        }
        ResetZoom();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void CZelkView::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y();
    if (steps == 0) {
        event->ignore();
        return;
    }
    event->accept();
    // One notch (120) zooms in or out by a fifth.
    const double factor = std::pow(0.8, steps / 120.0);
    const QPointF at = event->position();
    if (zoom_.ZoomAbout(*state_, at.x(), at.y(), factor)) {
        ZoomChanged();
    }
}

void CZelkView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Home && event->modifiers() == Qt::NoModifier) {
        event->accept();
        ResetZoom();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CZelkView::leaveEvent(QEvent* event) {
    emit readoutChanged(QString());
    QWidget::leaveEvent(event);
}

PrintService* CZelkView::printService(QString& error) {
    if (!print_) {
        print_ = MakePrintService(error);
    }
    return print_.get();
}

PrintService* CZelkView::PrintServiceOrSayWhyNot() {
    QString error;
    PrintService* service = printService(error);
    if (service == nullptr) {
        guiHost_->ShowMessage(PrintingUnavailableText(error).toStdString());
    }
    return service;
}

PageDrawer CZelkView::PlotOnPage() {
    return [this](QPainter& painter, const QRect& page) {
        DrawPlotOnPage(*state_, *plotter_, painter, page);
    };
}

void CZelkView::OnFilePrint() {
    if (PrintService* service = PrintServiceOrSayWhyNot()) {
        if (service->PrintWithDialog(this, dialogRunner_, PlotOnPage())) {
            emit printed();
        }
    }
}

bool CZelkView::OnFilePrintDirect(const QString& printerName) {
    PrintService* service = PrintServiceOrSayWhyNot();
    if (service == nullptr || !service->PrintTo(printerName, PlotOnPage())) {
        return false;
    }
    emit printed();
    return true;
}

void CZelkView::OnFilePrintPreview() {
    if (PrintService* service = PrintServiceOrSayWhyNot()) {
        service->Preview(this, dialogRunner_, PlotOnPage());
    }
}

}  // namespace zelk
