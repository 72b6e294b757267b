#pragma once
// The main window: menu bar, toolbar, status bar and the view, and the command
// table that sends every menu entry, button and key to its handler. A command
// goes to the view first, then to the frame, then to the application.

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <functional>

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;

namespace zelk {

class CZelkView;
class FitRunPanel;

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    CZelkView* view() const { return view_; }
    QToolBar* toolBar() const { return toolBar_; }

    // The menu-bar or toolbar action that sends id (nullptr if none does).
    QAction* ActionFor(int id) const { return actions_.value(id, nullptr); }
    // The fourteen accelerator keys, in table order.
    const QList<QAction*>& AcceleratorActions() const { return accelerators_; }
    QLabel* messagePane() const { return messagePane_; }
    QLabel* indicator(int index) const { return indicators_[index]; }
    // The mouse's place on the plot, left of the lock-key indicators.
    QLabel* readoutPane() const { return readoutPane_; }

    // The entries for looking at the plot, at the end of "&View".
    QAction* followFilesAction() const { return followFiles_; }
    QAction* exportPlotAction() const { return exportPlot_; }
    QAction* copyPlotAction() const { return copyPlot_; }
    QAction* wholePlotAction() const { return wholePlot_; }
    QAction* openTaskFolderAction() const { return openTaskFolder_; }
    QMenu* recentTaskFoldersMenu() const { return recentTaskFolders_; }

    // Export Plot: asks for a file name (tests replace the question) and
    // writes the picture; false when nothing was written.
    std::function<QString()> chooseExportFile;
    bool ExportPlot(const QString& path);
    void CopyPlot();

    // The application opens task folders; the frame only offers them.
    std::function<void()> onOpenTaskFolder;
    std::function<void(const QString&)> onOpenRecentTaskFolder;
    void SetRecentTaskFolders(const QStringList& folders);

    // The application's share of the command table (new, open, save, about,
    // exit, printer setup); returns true when it handled the command.
    using AppHandler = std::function<bool(int id)>;
    void SetAppHandler(AppHandler handler) { appHandler_ = std::move(handler); }

    // Sends a command along the route view, frame, application. Returns true
    // when one of them handled it.
    bool OnCommand(int id);

    // The caption: the document's name, then the application title.
    void SetDocumentTitle(const QString& documentTitle);

    void ReadSettings();
    void WriteSettings() const;

    // Reads the lock keys and shows their indicators.
    void UpdateIndicators();

    // No pop-up on the bars: the View menu alone shows and hides them.
    QMenu* createPopupMenu() override { return nullptr; }

    // The "Fitting Program" panel, docked at the bottom, hidden until a run.
    // It is made when first needed (a run, its View entry), not before the
    // window first shows.
    FitRunPanel* fitRunPanel();
    // The question that closing the window during a fit run asks (null when
    // none is open).
    QMessageBox* stopQuestion() const { return stopQuestion_; }

    // Ends Zelk safely: a running fitting program is stopped, the command
    // that waits for it finishes (FIT.INP is put back), then the window
    // closes and quitRequested() follows. With nothing running that is at
    // once. Used for the close question's Yes and for SIGTERM and its kin.
    void QuitAfterRun();

  signals:
    // Every routed command and where it ended: "view", "frame", "app", or
    // "none" for the keys that are bound but have no handler. While a program
    // is being waited for, commands are dropped and reported as "busy".
    void commandRouted(int id, const QString& handler);
    // The window has closed on QuitAfterRun(): the application should end.
    void quitRequested();

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreatePlotNavigationEntries();
    void OnReloadFailed(const QString& text);
    QAction* NewCommandAction(const QString& text, int id);
    bool OnFrameCommand(int id);
    void OnBusyChanged(bool busy, const QString& waitingFor);
    void PrepareFitRunPanel();
    void AddFitRunPanelToViewMenu();
    void AskToStopTheFit();

    CZelkView* view_;
    QToolBar* toolBar_ = nullptr;
    QLabel* messagePane_ = nullptr;
    QLabel* indicators_[3] = {nullptr, nullptr, nullptr};
    QLabel* readoutPane_ = nullptr;
    QAction* followFiles_ = nullptr;
    QAction* exportPlot_ = nullptr;
    QAction* copyPlot_ = nullptr;
    QAction* wholePlot_ = nullptr;
    QAction* openTaskFolder_ = nullptr;
    QMenu* recentTaskFolders_ = nullptr;
    QTimer* indicatorTimer_ = nullptr;
    QHash<int, QAction*> actions_;
    QList<QAction*> accelerators_;
    AppHandler appHandler_;
    FitRunPanel* fitRunPanel_ = nullptr;
    QAction* fitRunEntry_ = nullptr;  // its View entry, there before the panel
    QPointer<QMessageBox> stopQuestion_;
    bool quitAfterRun_ = false;
};

}  // namespace zelk
