#include "frame/GuiHost.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QStatusBar>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

#include "frame/AppInfo.h"
#include "frame/CNewModelDlg.h"
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

}  // namespace

GuiHost::GuiHost(QWidget& owner) : owner_(owner) {}

GuiHost::~GuiHost() = default;

void GuiHost::ShowMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kAppTitle),
                    QString::fromStdString(text), QMessageBox::Ok, &owner_);
    // Messages may carry file names; a "<b>" in one is text, not markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void GuiHost::ShowNotice(const std::string& text) {
    // A note about a file that was drawn anyway: the status bar, not a box on
    // every read. Its lines are joined, since the bar shows one.
    QString line = QString::fromStdString(text);
    line.replace(QLatin1Char('\n'), QStringLiteral(" - "));
    if (auto* bar = owner_.window()->findChild<QStatusBar*>()) {
        bar->showMessage(line, kNoticeMilliseconds);
    }
    std::fprintf(stderr, "zelk: %s\n", text.c_str());
}

bool GuiHost::AskYesNo(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kAppTitle),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, &owner_);
    box.setTextFormat(Qt::PlainText);
    // Enter and Escape both keep the file.
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void GuiHost::Fatal(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kAppTitle),
                    QString::fromStdString(text), QMessageBox::Ok, &owner_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
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

int GuiHost::LaunchAndWait(const std::string& program, const std::vector<std::string>& argv,
                           const std::string& waitingFor) {
    QString what = QString::fromStdString(waitingFor);
    if (what.isEmpty()) {
        what = QStringLiteral("Waiting for %1 to end...").arg(QString::fromStdString(program));
    }
    busy_ = true;
    qApp->installEventFilter(this);
    emit busyChanged(true, what);
    owner_.update();

    struct EndBusy {
        GuiHost& host;
        ~EndBusy() {
            qApp->removeEventFilter(&host);
            host.busy_ = false;
            emit host.busyChanged(false, QString());
        }
    } endBusy{*this};

    const std::function<void()> whileWaiting = &GuiHost::ProcessEventsWhileWaiting;
    if (launcher_) {
        return launcher_(program, argv, whileWaiting);
    }
    return platform::LaunchAndWait(program, argv, whileWaiting);
}

bool GuiHost::RunNewModelDialog(NewModelDlgData& data) {
    CNewModelDlg dialog(data, &owner_);
    return dialog.DoModal();
}

bool GuiHost::eventFilter(QObject* watched, QEvent* event) {
    if (busy_) {
        if (event->type() == QEvent::ShortcutOverride) {
            // Accepted here so that no shortcut fires; the key press that
            // follows is dropped below.
            event->accept();
            return true;
        }
        if (IsUserInput(event->type())) {
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace zelk
