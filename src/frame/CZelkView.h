#pragma once
// The view: a thin window over the task. It owns the PlotState, the plotter
// and the task commands; painting hands the state to the drawing pass, and
// every command of the system's own ends up in TaskCommands.

#include <QImage>
#include <QWidget>
#include <cstddef>
#include <functional>
#include <memory>

#include "frame/GuiHost.h"
#include "frame/PrintService.h"
#include "plot/PlotView.h"

class QDialog;
class QPainter;
class QRubberBand;

namespace zelk {

struct PlotState;
class CPlotter;
class TaskCommands;
class LiveReload;

class CZelkView : public QWidget {
    Q_OBJECT
  public:
    explicit CZelkView(QWidget* parent = nullptr);
    ~CZelkView() override;

    PlotState& state() { return *state_; }
    const CPlotter& plotter() const { return *plotter_; }
    TaskCommands& commands() { return *commands_; }
    GuiHost& guiHost() { return *guiHost_; }

    // Sends the task commands through another Host (tests record there); the
    // new-model dialog's data is kept.
    void UseHost(Host& host);

    // Runs after a document is created, made new or opened: both counters
    // back to 0 and a full repaint.
    void OnInitialUpdate();

    // The view's share of the command table: the task commands and printing.
    // False when the command is not the view's.
    bool OnCommand(int id);

    // While the editor or the fitting program runs.
    bool busy() const { return guiHost_->busy(); }

    // Makes dir current and loads the task found there as "&Set Task" does,
    // without opening the editor.
    void LoadTaskWithoutEditor();

    // Printing. The dialog runner shows the print or preview dialog modally
    // and returns its result; tests replace it.
    using DialogRunner = zelk::DialogRunner;
    void SetDialogRunner(DialogRunner runner) { dialogRunner_ = std::move(runner); }
    // The printing module's service, loaded on first use and kept; null,
    // with why in error, when it cannot be loaded.
    PrintService* printService(QString& error);
    void OnFilePrint();                                  // with the print dialog
    bool OnFilePrintDirect(const QString& printerName);  // empty: the default printer
    void OnFilePrintPreview();

    // Looking at the plot: zoom and pan change only what is shown, never the
    // axis file. Home, a left double-click and the axis command show the
    // file's ranges again.
    ZoomState& zoom() { return zoom_; }
    ViewRanges shownRanges() const { return zoom_.Current(*state_); }
    void ResetZoom();
    // Null when the file's ranges are shown: then the drawing is exactly the
    // plain pass.
    const ViewRanges* zoomedRanges(ViewRanges& storage) const;

    // The plot at the view's size, exactly as the screen shows it at scale 1.
    QImage PlotImage();
    // Whether the last paint wrote straight into the window's image.
    bool lastPaintInPlace() const { return lastPaintInPlace_; }

    LiveReload& liveReload() { return *liveReload_; }

  signals:
    void busyChanged(bool busy, const QString& waitingFor);
    void printed();
    // What the status bar shows for the mouse; empty off the plot area.
    void readoutChanged(const QString& text);
    void zoomChanged(bool zoomed);
    // Once, when the plot has been painted for the first time: work that can
    // wait is started after it.
    void firstPainted();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    // The service, or null after telling the user why printing is not there.
    PrintService* PrintServiceOrSayWhyNot();
    // Draws the plot on a printed page: the whole plot, scaled to fit.
    PageDrawer PlotOnPage();

    std::unique_ptr<PlotState> state_;
    std::unique_ptr<CPlotter> plotter_;
    std::unique_ptr<GuiHost> guiHost_;
    Host* host_;  // the Host the commands talk to: guiHost_ unless a test replaced it
    std::unique_ptr<TaskCommands> commands_;
    std::unique_ptr<PrintService> print_;
    DialogRunner dialogRunner_;
    QImage frame_;  // the picture of paints that cannot go in place, reused while the size stays
    ZoomState zoom_;
    enum class Drag { None, Band, Pan };
    Drag drag_ = Drag::None;
    QPoint dragStart_;
    QPoint dragLast_;
    QRubberBand* band_ = nullptr;
    std::unique_ptr<LiveReload> liveReload_;

    // The pass written straight into the window's image where that is the
    // same as painting an image and copying it; false where it is not.
    bool PaintInPlace(QPainter& painter, const QPaintEvent& event, const ViewRanges* view);
    void ShowReadout(const QPoint& at);
    void ZoomChanged();
    bool painted_ = false;
    bool lastPaintInPlace_ = false;
    // The window image whose pages were last made present for the pass (its
    // first pixel and size): a new image, after a resize say, is prepared once.
    const void* preparedImage_ = nullptr;
    std::size_t preparedBytes_ = 0;
    // Commands running now (a message box inside one lets events through):
    // the follower keeps off the state until the last has ended.
    int commandDepth_ = 0;
    struct CommandScope {
        int& depth;
        explicit CommandScope(int& d) : depth(d) { ++depth; }
        ~CommandScope() { --depth; }
        CommandScope(const CommandScope&) = delete;
        CommandScope& operator=(const CommandScope&) = delete;
    };
};

}  // namespace zelk
