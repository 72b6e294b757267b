#include "frame/GuiHost.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "frame/AppInfo.h"
#include "frame/CNewModelDlg.h"
#include "frame/FitRunLog.h"
#include "frame/FitRunPanel.h"
#include "platform/Platform.h"

namespace zelk {
namespace {

// How long a note stays in the status bar.
constexpr int kNoticeMilliseconds = 15000;

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::DragEnter:
        case QEvent::Drop:
            return true;
        default:
            return false;
    }
}

bool IsMouseEvent(QEvent::Type type) {
    return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
           type == QEvent::MouseButtonDblClick || type == QEvent::MouseMove;
}

void PrintToStandardError(const std::string& text) {
    std::fprintf(stderr, "zelk: %s\n", text.c_str());
    std::fflush(stderr);
}

}  // namespace

GuiHost::GuiHost(QWidget& owner)
    : owner_(owner), runLogFolder_(FitRunLog::DefaultFolder()), elapsedTimer_(new QTimer(this)) {
    elapsedTimer_->setInterval(1000);
    connect(elapsedTimer_, &QTimer::timeout, this, [this] {
        if (fitRunning_) {
            emit busyChanged(true, FitStatusText());
        }
    });
}

GuiHost::~GuiHost() = default;

void GuiHost::ShowMessage(const std::string& text) {
    if (quitting_) {
        // Zelk is ending on the user's word or a signal: a box here would
        // keep it from ending.
        PrintToStandardError(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kAppTitle),
                    QString::fromStdString(text), QMessageBox::Ok, &owner_);
    // Messages may carry file names; a "<b>" in one is text, not markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void GuiHost::ShowNotice(const std::string& text) {
    // A note about a file that was drawn anyway: the status bar, not a box on
    // every read. Its lines are joined, since the bar shows one.
    QString notice = QString::fromStdString(text);
    notice.replace(QLatin1Char('\n'), QStringLiteral(" - "));
    ShowInStatusBar(notice);
    PrintToStandardError(text);
    if (fitRunning_) {
        if (FitRunPanel* panel = Panel()) {
            panel->AddNote(notice);
        }
        if (runLog_ != nullptr) {
            runLog_->AddNote(notice);
        }
    } else if (fitCommandDepth_ > 0) {
        if (runInFitCommand_) {
            if (FitRunPanel* panel = Panel()) {
                panel->AddNote(notice);
            }
        } else {
            pendingNotices_.append(notice);  // shown once the run's panel is set up
        }
    }
}

void GuiHost::ShowInStatusBar(const QString& line) {
    if (auto* bar = owner_.window()->findChild<QStatusBar*>()) {
        bar->showMessage(line, kNoticeMilliseconds);
    }
}

bool GuiHost::AskYesNo(const std::string& text) {
    if (quitting_) {
        // Nobody is there to answer: the safe answer, which keeps the file.
        PrintToStandardError(text + " - No");
        return false;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kAppTitle),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, &owner_);
    box.setTextFormat(Qt::PlainText);
    // Enter and Escape both keep the file.
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void GuiHost::Fatal(const std::string& text) {
    if (quitting_) {
        PrintToStandardError(text);
    } else {
        QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kAppTitle),
                        QString::fromStdString(text), QMessageBox::Ok, &owner_);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
    // The end is immediate: no settings are stored, nothing more is drawn.
    // The status tells a script or a desktop that Zelk did not end by choice.
    std::fflush(nullptr);
    std::_Exit(1);
}

void GuiHost::Redraw() {
    owner_.update();
}

void GuiHost::ProcessEventsWhileWaiting() {
    // The launcher pauses between calls; here only what is pending is handled.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void GuiHost::BeginBusy(const QString& what) {
    busy_ = true;
    qApp->installEventFilter(this);
    emit busyChanged(true, what);
    owner_.update();
}

void GuiHost::EndBusy() {
    qApp->removeEventFilter(this);
    busy_ = false;
    emit busyChanged(false, QString());
}

int GuiHost::LaunchAndWait(const std::string& program, const std::vector<std::string>& argv,
                           const std::string& waitingFor) {
    QString what = QString::fromStdString(waitingFor);
    if (what.isEmpty()) {
        what = QStringLiteral("Waiting for %1 to end...").arg(QString::fromStdString(program));
    }
    BeginBusy(what);
    struct EndBusyOnReturn {
        GuiHost& host;
        ~EndBusyOnReturn() { host.EndBusy(); }
    } endBusy{*this};

    const std::function<void()> whileWaiting = &GuiHost::ProcessEventsWhileWaiting;
    if (launcher_) {
        return launcher_(program, argv, whileWaiting);
    }
    return platform::LaunchAndWait(program, argv, whileWaiting);
}

QString GuiHost::FitStatusText() const {
    const qint64 seconds = fitClock_.isValid() ? fitClock_.elapsed() / 1000 : 0;
    const QString elapsed =
        seconds < 60
            ? QStringLiteral("%1 s").arg(seconds)
            : QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0'));
    if (stopRequested_) {
        // The program gets its grace to end before it is killed.
        return QStringLiteral("Stopping the fitting program: %1 - %2").arg(fitProgram_, elapsed);
    }
    return QStringLiteral("Waiting for the fitting program: %1 - %2 (Escape stops it)")
        .arg(fitProgram_, elapsed);
}

ProgramEnd GuiHost::RunFitProgram(const std::string& program,
                                  const std::vector<std::string>& argv) {
    if (quitting_) {
        // Zelk is ending: no new run starts; for the command it was stopped.
        ProgramEnd end;
        end.how = ProgramEnd::How::Stopped;
        end.reason = "stopped";
        return end;
    }
    runInFitCommand_ = true;
    fitProgram_ = QString::fromStdString(program);
    const QDateTime start = QDateTime::currentDateTime();
    const QString heading = FitRunHeading(fitProgram_, QDir::currentPath(), start);
    FitRunLog log(runLogFolder_);
    log.Begin(start, heading);
    if (FitRunPanel* panel = Panel()) {
        panel->BeginRun(heading);
    }
    for (const QString& notice : std::as_const(pendingNotices_)) {
        log.AddNote(notice);
        if (FitRunPanel* panel = Panel()) {
            panel->AddNote(notice);
        }
    }
    pendingNotices_.clear();

    stopRequested_ = false;
    fitRunning_ = true;
    runLog_ = &log;
    fitClock_.start();
    elapsedTimer_->start();
    BeginBusy(FitStatusText());

    RunHooks hooks;
    hooks.onOutput = [this, &log](std::string_view chunk) {
        const QByteArrayView bytes(chunk.data(), static_cast<qsizetype>(chunk.size()));
        if (FitRunPanel* panel = Panel()) {
            panel->AppendOutput(bytes);
        }
        log.Append(bytes);
    };
    hooks.stopRequested = [this] { return stopRequested_; };
    hooks.whileWaiting = &GuiHost::ProcessEventsWhileWaiting;
    const ProgramEnd end =
        fitRunner_ ? fitRunner_(program, argv, hooks) : platform::RunProgram(program, argv, hooks);

    const QString endLine = FitRunEndLine(end);
    if (FitRunPanel* panel = Panel()) {
        panel->EndRun(endLine);
    }
    runLog_ = nullptr;
    lastRunLog_ = log.Finish(endLine);
    elapsedTimer_->stop();
    fitRunning_ = false;
    stopRequested_ = false;
    EndBusy();
    return end;
}

void GuiHost::FitRunFinished(const FitRunOutcome& outcome) {
    if (outcome.resultWritten || quitting_) {
        return;
    }
    // The user must see why there is no result: the end line and the last
    // lines the program wrote, or, when the command did not get as far as
    // starting it, why not (the panel must not show an older run as this one).
    if (FitRunPanel* panel = Panel()) {
        if (fitCommandDepth_ > 0 && !runInFitCommand_) {
            runInFitCommand_ = true;
            panel->BeginRun(QStringLiteral("No run in %1, %2")
                                .arg(QDir::toNativeSeparators(QDir::currentPath()),
                                     QDateTime::currentDateTime().toString(
                                         QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
            for (const QString& notice : std::as_const(pendingNotices_)) {
                panel->AddNote(notice);
            }
            pendingNotices_.clear();
            panel->EndRun(FitRunEndLine(outcome.end));
        }
        panel->BringToFront();
    }
    ShowInStatusBar(
        QStringLiteral("The fitting program left no result: %1").arg(FitRunEndLine(outcome.end)));
}

bool GuiHost::RunNewModelDialog(NewModelDlgData& data) {
    CNewModelDlg dialog(data, &owner_);
    return dialog.DoModal();
}

void GuiHost::RequestStop() {
    if (fitRunning_) {
        stopRequested_ = true;
        emit busyChanged(true, FitStatusText());
    }
}

void GuiHost::BeginFitCommand() {
    if (fitCommandDepth_++ == 0) {
        runInFitCommand_ = false;
        pendingNotices_.clear();
    }
}

void GuiHost::EndFitCommand() {
    if (fitCommandDepth_ > 0 && --fitCommandDepth_ == 0) {
        // No run came (the checks stopped it): the notices still belong in
        // the panel, below the last run.
        if (FitRunPanel* panel = pendingNotices_.isEmpty() ? nullptr : Panel()) {
            for (const QString& notice : std::as_const(pendingNotices_)) {
                panel->AddNote(notice);
            }
        }
        pendingNotices_.clear();
        runInFitCommand_ = false;
    }
}

void GuiHost::AllowInputTo(QWidget* widget) {
    inputExceptions_.removeAll(nullptr);
    if (widget != nullptr && !inputExceptions_.contains(widget)) {
        inputExceptions_.append(widget);
    }
}

FitRunPanel* GuiHost::Panel() {
    if (panel_ == nullptr && panelMaker_) {
        const std::function<FitRunPanel*()> make = std::exchange(panelMaker_, nullptr);
        make();  // it hands the panel over through SetFitRunPanel
    }
    return panel_;
}

void GuiHost::SetFitRunPanel(FitRunPanel* panel) {
    panel_ = panel;
    if (panel == nullptr) {
        return;
    }
    panel->SetLogFolder(runLogFolder_);
    AllowInputTo(panel->stopButton());
    connect(panel, &FitRunPanel::stopClicked, this, &GuiHost::RequestStop);
}

void GuiHost::SetRunLogFolder(const QString& folder) {
    runLogFolder_ = folder;
    if (panel_) {
        panel_->SetLogFolder(folder);
    }
}

bool GuiHost::InputAllowed(QObject* watched, QEvent* event) const {
    for (const QPointer<QWidget>& allowed : inputExceptions_) {
        QWidget* widget = allowed.data();
        if (widget == nullptr || !widget->isVisible() || !widget->isEnabled()) {
            continue;
        }
        if (auto* target = qobject_cast<QWidget*>(watched)) {
            if (target == widget || widget->isAncestorOf(target)) {
                return true;
            }
            continue;
        }
        auto* window = qobject_cast<QWindow*>(watched);
        if (window == nullptr) {
            continue;
        }
        if (widget->isWindow() && widget->windowHandle() == window) {
            return true;  // a window of its own (the close question): all its input
        }
        if (IsMouseEvent(event->type()) && widget->window()->windowHandle() == window) {
            // A button inside the main window: only the pointer over it, and
            // the release of a press it took.
            const auto* button = qobject_cast<QAbstractButton*>(widget);
            if (button != nullptr && button->isDown()) {
                return true;
            }
            const auto* mouse = static_cast<QMouseEvent*>(event);
            QWidget* under = QApplication::widgetAt(mouse->globalPosition().toPoint());
            if (under != nullptr && (under == widget || widget->isAncestorOf(under))) {
                return true;
            }
        }
    }
    return false;
}

bool GuiHost::eventFilter(QObject* watched, QEvent* event) {
    if (!busy_) {
        return QObject::eventFilter(watched, event);
    }
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && !IsUserInput(type)) {
        return QObject::eventFilter(watched, event);
    }
    if (InputAllowed(watched, event)) {
        return QObject::eventFilter(watched, event);
    }
    if (type == QEvent::ShortcutOverride) {
        // Accepted here so that no shortcut fires; the key press that
        // follows is dropped below (or stops the fitting program).
        event->accept();
        return true;
    }
    if (fitRunning_ && type == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        RequestStop();
    }
    return true;
}

}  // namespace zelk
