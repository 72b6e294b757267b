#include "frame/CMainFrame.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "commands/CommandIds.h"
#include "frame/AppInfo.h"
#include "frame/CZelkView.h"
#include "frame/CommandTable.h"
#include "frame/FitRunPanel.h"
#include "frame/LiveReload.h"
#include "frame/LockKeys.h"
#include "frame/PlotPicture.h"
#include "frame/ToolbarIcons.h"
#include "plot/PlotView.h"

#include <algorithm>

namespace zelk {
namespace {

constexpr const char* kIndicatorTexts[3] = {"CAP", "NUM", "SCRL"};
constexpr int kIndicatorPollMs = 400;

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent), view_(new CZelkView(this)) {
    setObjectName(QStringLiteral("CMainFrame"));
    setCentralWidget(view_);
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    PrepareFitRunPanel();
    ReadSettings();
    CreatePlotNavigationEntries();
    SetDocumentTitle(QStringLiteral("Untitled"));
    connect(view_, &CZelkView::busyChanged, this, &CMainFrame::OnBusyChanged);
}

CMainFrame::~CMainFrame() {
    // The view and its host outlive this body: nothing may ask a window being
    // destroyed to make its panel.
    view_->guiHost().SetFitRunPanelMaker(nullptr);
}

QAction* CMainFrame::NewCommandAction(const QString& text, int id) {
    auto* action = new QAction(text, this);
    action->setData(id);
    action->setStatusTip(PromptFor(id));
    if (const QString tip = ToolTipFor(id); !tip.isEmpty()) {
        action->setToolTip(tip);
    }
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    return action;
}

void CMainFrame::CreateActions() {
    for (const MenuBarEntry& entry : MenuBar()) {
        if (entry.id != 0) {
            actions_.insert(entry.id, NewCommandAction(QString::fromLatin1(entry.label), entry.id));
        }
        for (const MenuCommand& item : entry.items) {
            actions_.insert(item.id, NewCommandAction(QString::fromLatin1(item.label), item.id));
        }
    }
    for (int id : {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR}) {
        actions_[id]->setCheckable(true);
        actions_[id]->setChecked(true);
    }
    for (const ToolbarButton& button : ToolbarButtons()) {
        QAction* action = NewCommandAction(QString::fromLatin1(button.glyph), button.id);
        action->setIcon(MakeToolbarIcon(button));
        actions_.insert(button.id, action);
    }
    for (const Accelerator& accelerator : Accelerators()) {
        auto* action = new QAction(this);
        action->setShortcut(accelerator.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        const int id = accelerator.id;
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        addAction(action);
        accelerators_.append(action);
    }
}

void CMainFrame::CreateMenus() {
    QMenuBar* bar = menuBar();
    for (const MenuBarEntry& entry : MenuBar()) {
        if (entry.id != 0) {
            bar->addAction(actions_.value(entry.id));
            continue;
        }
        QMenu* menu = bar->addMenu(QString::fromLatin1(entry.label));
        for (const MenuCommand& item : entry.items) {
            menu->addAction(actions_.value(item.id));
        }
    }
}

void CMainFrame::CreateToolBar() {
    toolBar_ = new QToolBar(QStringLiteral("Toolbar"), this);
    toolBar_->setObjectName(QStringLiteral("toolBar"));
    toolBar_->setMovable(true);
    toolBar_->setFloatable(true);
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    toolBar_->setIconSize(QSize(36, 22));
    for (const ToolbarButton& button : ToolbarButtons()) {
        QAction* action = actions_.value(button.id);
        toolBar_->addAction(action);
        // The task commands have no tooltip.
        if (QWidget* widget = toolBar_->widgetForAction(action)) {
            widget->installEventFilter(this);
        }
    }
    addToolBar(Qt::TopToolBarArea, toolBar_);
    QAction* toggle = actions_.value(ID_VIEW_TOOLBAR);
    connect(toolBar_, &QToolBar::visibilityChanged, toggle, [this, toggle](bool) {
        // The user may also close a floating toolbar; the mark follows.
        if (!isHidden()) {
            toggle->setChecked(toolBar_->isVisible());
        }
    });
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    messagePane_ = new QLabel(kIdleText, bar);
    messagePane_->setObjectName(QStringLiteral("messagePane"));
    bar->addWidget(messagePane_, 1);
    readoutPane_ = new QLabel(bar);
    readoutPane_->setObjectName(QStringLiteral("readoutPane"));
    readoutPane_->setMinimumWidth(readoutPane_->fontMetrics().horizontalAdvance(
        QStringLiteral("x = -00000.000   y = -00000.000   curve 12: -0.000e-00")));
    bar->addPermanentWidget(readoutPane_);
    connect(view_, &CZelkView::readoutChanged, readoutPane_, &QLabel::setText);
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(QString::fromLatin1(kIndicatorTexts[i]));
        label->setAlignment(Qt::AlignCenter);
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        label->setFixedWidth(
            label->fontMetrics().horizontalAdvance(QString::fromLatin1(kIndicatorTexts[i])) + 12);
        bar->addPermanentWidget(label);
        indicators_[i] = label;
    }
    // The lock keys are asked for after the first paint of the plot: the
    // query opens a connection of its own to the display, which the window
    // need not wait for. Until then the indicators stay hidden.
    for (QLabel* label : indicators_) {
        label->setVisible(false);
    }
    indicatorTimer_ = new QTimer(this);
    connect(indicatorTimer_, &QTimer::timeout, this, &CMainFrame::UpdateIndicators);
    // The first paint is reported before the window's image goes to the
    // screen; the query waits until it has.
    connect(view_, &CZelkView::firstPainted, this, [this] {
        QTimer::singleShot(0, this, [this] {
            indicatorTimer_->start(kIndicatorPollMs);
            UpdateIndicators();  // stops the timer when there are no lock keys
        });
    });
}

void CMainFrame::PrepareFitRunPanel() {
    fitRunEntry_ = new QAction(QStringLiteral("Fitting Program"), this);
    fitRunEntry_->setCheckable(true);
    fitRunEntry_->setStatusTip(QStringLiteral("Show or hide the fitting program's output"));
    // The entry acts as the panel's own toggle: it shows the panel and
    // raises it before a panel it shares a place with, or closes it.
    connect(fitRunEntry_, &QAction::triggered, this, [this](bool on) {
        QAction* toggle = fitRunPanel()->toggleViewAction();
        if (toggle->isChecked() != on) {
            toggle->trigger();
        }
    });
    AddFitRunPanelToViewMenu();
    view_->guiHost().SetFitRunPanelMaker([this] { return fitRunPanel(); });
}

FitRunPanel* CMainFrame::fitRunPanel() {
    if (fitRunPanel_ == nullptr) {
        fitRunPanel_ = new FitRunPanel(this);
        // Hidden before it is docked, so that docking it into a shown
        // window does not show it.
        fitRunPanel_->hide();
        addDockWidget(Qt::BottomDockWidgetArea, fitRunPanel_);
        // The panel's own toggle follows its closing and showing.
        connect(fitRunPanel_->toggleViewAction(), &QAction::toggled, fitRunEntry_,
                &QAction::setChecked);
        view_->guiHost().SetFitRunPanel(fitRunPanel_);
    }
    return fitRunPanel_;
}

void CMainFrame::AddFitRunPanelToViewMenu() {
    // Zelk's own entries follow the toolbar and status-bar entries, after
    // one separator; the menu bar, its commands and the keys stay as they are.
    QAction* toolbarEntry = actions_.value(ID_VIEW_TOOLBAR);
    for (QAction* entry : menuBar()->actions()) {
        QMenu* menu = entry->menu();
        if (menu != nullptr && menu->actions().contains(toolbarEntry)) {
            menu->addSeparator();
            menu->addAction(fitRunEntry_);
            return;
        }
    }
}

void CMainFrame::UpdateIndicators() {
    const std::optional<LockKeyState> keys = QueryLockKeys();
    const bool on[3] = {keys && keys->caps, keys && keys->num, keys && keys->scroll};
    for (int i = 0; i < 3; ++i) {
        indicators_[i]->setVisible(keys.has_value());
        indicators_[i]->setText(on[i] ? QString::fromLatin1(kIndicatorTexts[i]) : QString());
    }
    if (!keys) {
        indicatorTimer_->stop();
    }
}

void CMainFrame::CreatePlotNavigationEntries() {
    QMenu* view = nullptr;
    for (QAction* entry : menuBar()->actions()) {
        if (entry->menu() != nullptr && entry->text() == QLatin1String("&View")) {
            view = entry->menu();
        }
    }
    if (view == nullptr) {
        return;
    }
    // One section below the bars' entries, shared with the other additions:
    // a separator only if none opened it yet.
    const QList<QAction*> existing = view->actions();
    if (std::none_of(existing.begin(), existing.end(),
                     [](const QAction* a) { return a->isSeparator(); })) {
        view->addSeparator();
    }

    followFiles_ = view->addAction(QStringLiteral("&Follow File Changes"));
    followFiles_->setObjectName(QStringLiteral("followFileChanges"));
    followFiles_->setStatusTip(
        QStringLiteral("Redraw when another program changes the task's files"));
    followFiles_->setCheckable(true);
    const QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                             QString::fromLatin1(kSettingsApplication));
    followFiles_->setChecked(
        settings.value(QStringLiteral("Settings/FollowFileChanges"), true).toBool());
    view_->liveReload().SetEnabled(followFiles_->isChecked());
    connect(followFiles_, &QAction::toggled, this,
            [this](bool on) { view_->liveReload().SetEnabled(on); });

    wholePlot_ = view->addAction(QStringLiteral("&Whole Plot"));
    wholePlot_->setObjectName(QStringLiteral("wholePlot"));
    wholePlot_->setStatusTip(QStringLiteral("Show the axis file's ranges again"));
    wholePlot_->setShortcut(QKeySequence(Qt::Key_Home));
    wholePlot_->setEnabled(false);
    connect(wholePlot_, &QAction::triggered, view_, &CZelkView::ResetZoom);
    connect(view_, &CZelkView::zoomChanged, wholePlot_, &QAction::setEnabled);

    exportPlot_ = view->addAction(QStringLiteral("&Export Plot..."));
    exportPlot_->setObjectName(QStringLiteral("exportPlot"));
    exportPlot_->setStatusTip(QStringLiteral("Save the plot as a PNG, SVG or PDF file"));
    exportPlot_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(exportPlot_, &QAction::triggered, this, [this] {
        QString path = chooseExportFile();
        if (path.isEmpty()) {
            return;
        }
        if (QFileInfo(path).suffix().isEmpty()) {
            path += QStringLiteral(".png");
        }
        ExportPlot(path);
    });
    chooseExportFile = [this] {
        return QFileDialog::getSaveFileName(
            this, QStringLiteral("Export Plot"),
            QDir::current().filePath(QStringLiteral("plot.png")),
            QStringLiteral("Plot pictures (*.png *.svg *.pdf);;PNG image (*.png);;SVG drawing "
                           "(*.svg);;PDF document (*.pdf)"));
    };

    copyPlot_ = view->addAction(QStringLiteral("&Copy Plot"));
    copyPlot_->setObjectName(QStringLiteral("copyPlot"));
    copyPlot_->setStatusTip(QStringLiteral("Put the plot on the clipboard as a picture"));
    copyPlot_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    connect(copyPlot_, &QAction::triggered, this, &CMainFrame::CopyPlot);

    openTaskFolder_ = view->addAction(QStringLiteral("&Open Task Folder..."));
    openTaskFolder_->setObjectName(QStringLiteral("openTaskFolder"));
    openTaskFolder_->setStatusTip(
        QStringLiteral("Choose a folder holding START_A.INP and show its task"));
    openTaskFolder_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    connect(openTaskFolder_, &QAction::triggered, this, [this] {
        if (onOpenTaskFolder) {
            onOpenTaskFolder();
        }
    });

    recentTaskFolders_ = view->addMenu(QStringLiteral("&Recent Task Folders"));
    recentTaskFolders_->setObjectName(QStringLiteral("recentTaskFolders"));
    SetRecentTaskFolders({});

    for (QAction* action : {followFiles_, wholePlot_, exportPlot_, copyPlot_, openTaskFolder_}) {
        action->setShortcutContext(Qt::WindowShortcut);
    }
    LiveReload& reload = view_->liveReload();
    connect(&reload, &LiveReload::failed, this, &CMainFrame::OnReloadFailed);
    connect(&reload, &LiveReload::reloaded, this, [this](const QStringList& files, bool) {
        messagePane_->setText(kIdleText);
        messagePane_->setToolTip(QString());
        statusBar()->showMessage(
            QStringLiteral("Reloaded %1").arg(files.join(QStringLiteral(", "))), 3000);
    });
}

void CMainFrame::OnReloadFailed(const QString& text) {
    // Kept in the message pane until the next good read or command, so that a
    // passing menu prompt does not hide it; an earlier "Reloaded" goes.
    statusBar()->clearMessage();
    messagePane_->setText(text);
    messagePane_->setToolTip(text);
}

void CMainFrame::SetRecentTaskFolders(const QStringList& folders) {
    recentTaskFolders_->clear();
    for (int i = 0; i < folders.size(); ++i) {
        const QString folder = folders[i];
        QAction* entry = recentTaskFolders_->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(folder)));
        connect(entry, &QAction::triggered, this, [this, folder] {
            if (onOpenRecentTaskFolder) {
                onOpenRecentTaskFolder(folder);
            }
        });
    }
    recentTaskFolders_->setEnabled(!folders.isEmpty());
}

bool CMainFrame::ExportPlot(const QString& path) {
    ViewRanges storage;
    const ViewRanges* shown = view_->zoomedRanges(storage);
    QString error;
    if (!SavePlotPicture(view_->state(), shown, path, error)) {
        QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kAppTitle),
                        QStringLiteral("Cannot export the plot to %1.\n%2")
                            .arg(QDir::toNativeSeparators(path), error),
                        QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return false;
    }
    statusBar()->showMessage(
        QStringLiteral("Plot exported to %1").arg(QDir::toNativeSeparators(path)), 3000);
    return true;
}

void CMainFrame::CopyPlot() {
    QGuiApplication::clipboard()->setImage(view_->PlotImage());
}

bool CMainFrame::OnCommand(int id) {
    if (view_->busy()) {
        emit commandRouted(id, QStringLiteral("busy"));
        return false;
    }
    if (view_->OnCommand(id)) {
        messagePane_->setText(kIdleText);
        messagePane_->setToolTip(QString());
        emit commandRouted(id, QStringLiteral("view"));
        return true;
    }
    if (OnFrameCommand(id)) {
        emit commandRouted(id, QStringLiteral("frame"));
        return true;
    }
    if (appHandler_ && appHandler_(id)) {
        emit commandRouted(id, QStringLiteral("app"));
        return true;
    }
    // Edit and pane keys: bound, but nothing in the system handles them.
    emit commandRouted(id, QStringLiteral("none"));
    return false;
}

bool CMainFrame::OnFrameCommand(int id) {
    switch (id) {
        case ID_VIEW_TOOLBAR:
            toolBar_->setVisible(!toolBar_->isVisible());
            actions_.value(id)->setChecked(toolBar_->isVisible());
            return true;
        case ID_VIEW_STATUS_BAR:
            statusBar()->setVisible(!statusBar()->isVisible());
            actions_.value(id)->setChecked(statusBar()->isVisible());
            return true;
        default:
            return false;
    }
}

void CMainFrame::SetDocumentTitle(const QString& documentTitle) {
    setWindowTitle(QStringLiteral("%1 - %2").arg(documentTitle, QString::fromLatin1(kAppTitle)));
}

void CMainFrame::OnBusyChanged(bool busy, const QString& waitingFor) {
    if (busy) {
        statusBar()->showMessage(waitingFor);
        return;
    }
    statusBar()->clearMessage();
    if (quitAfterRun_) {
        // Once the command that waited is over, not in the middle of it.
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

void CMainFrame::QuitAfterRun() {
    quitAfterRun_ = true;
    GuiHost& host = view_->guiHost();
    host.SetQuitting(true);
    host.RequestStop();
    if (stopQuestion_) {
        stopQuestion_->close();
    }
    if (!view_->busy()) {
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

void CMainFrame::AskToStopTheFit() {
    if (stopQuestion_) {
        stopQuestion_->raise();
        stopQuestion_->activateWindow();
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Question, QString::fromLatin1(kAppTitle),
                                QStringLiteral("The fitting program is still running. Stop it "
                                               "and quit?"),
                                QMessageBox::Yes | QMessageBox::No, this);
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    stopQuestion_ = box;
    // The run goes on while the question is open: the box is window-modal
    // and its input passes the filter that holds the rest of the window.
    view_->guiHost().AllowInputTo(box);
    connect(box, &QMessageBox::finished, this, [this, box] {
        if (box->standardButton(box->clickedButton()) == QMessageBox::Yes) {
            QuitAfterRun();
        }
    });
    box->open();
}

void CMainFrame::ReadSettings() {
    QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                       QString::fromLatin1(kSettingsApplication));
    const QByteArray geometry = settings.value(QStringLiteral("Settings/Geometry")).toByteArray();
    if (geometry.isEmpty() || !restoreGeometry(geometry)) {
        resize(800, 600);
    }
}

void CMainFrame::WriteSettings() const {
    QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                       QString::fromLatin1(kSettingsApplication));
    settings.setValue(QStringLiteral("Settings/Geometry"), saveGeometry());
    if (followFiles_ != nullptr) {
        settings.setValue(QStringLiteral("Settings/FollowFileChanges"), followFiles_->isChecked());
    }
}

bool CMainFrame::event(QEvent* event) {
    // While a program is waited for, the status bar keeps saying so: a
    // pointer leaving the menu bar must not put a prompt or "Ready" there.
    if (event->type() == QEvent::StatusTip && view_->busy()) {
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // While the editor or the fitting program runs the window stays; for the
    // fitting program the user is asked whether to stop it.
    if (view_->busy()) {
        event->ignore();
        if (view_->guiHost().fitRunning() && !quitAfterRun_) {
            AskToStopTheFit();
        }
        return;
    }
    WriteSettings();
    event->accept();
    if (quitAfterRun_) {
        emit quitRequested();
    }
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip && qobject_cast<QToolButton*>(watched) != nullptr) {
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace zelk
