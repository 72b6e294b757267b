#include "frame/CMainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "commands/CommandIds.h"
#include "frame/AppInfo.h"
#include "frame/CZelkView.h"
#include "frame/CommandTable.h"
#include "frame/LockKeys.h"
#include "frame/ToolbarIcons.h"

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
    ReadSettings();
    SetDocumentTitle(QStringLiteral("Untitled"));
    connect(view_, &CZelkView::busyChanged, this, &CMainFrame::OnBusyChanged);
}

CMainFrame::~CMainFrame() = default;

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
    connect(view_, &CZelkView::firstPainted, this, [this] {
        indicatorTimer_->start(kIndicatorPollMs);
        UpdateIndicators();  // stops the timer when there are no lock keys
    });
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

bool CMainFrame::OnCommand(int id) {
    if (view_->busy()) {
        emit commandRouted(id, QStringLiteral("busy"));
        return false;
    }
    if (view_->OnCommand(id)) {
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
    } else {
        statusBar()->clearMessage();
    }
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
    // While the editor or the fitting program runs the window stays.
    if (view_->busy()) {
        event->ignore();
        return;
    }
    WriteSettings();
    event->accept();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip && qobject_cast<QToolButton*>(watched) != nullptr) {
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace zelk
