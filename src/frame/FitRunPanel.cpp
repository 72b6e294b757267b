#include "frame/FitRunPanel.h"

#include <QDesktopServices>
#include <QDir>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

namespace zelk {

QString FitRunEndLine(const ProgramEnd& end) {
    switch (end.how) {
        case ProgramEnd::How::Exited:
            return QStringLiteral("ended with exit status %1 after %2 s")
                .arg(end.code)
                .arg(end.seconds, 0, 'f', 1);
        case ProgramEnd::How::Signalled:
            if (end.reason.empty()) {
                return QStringLiteral("ended by signal %1").arg(end.code);
            }
            return QStringLiteral("ended by signal %1 (%2)")
                .arg(end.code)
                .arg(QString::fromStdString(end.reason));
        case ProgramEnd::How::Stopped:
            return QStringLiteral("stopped");
        case ProgramEnd::How::NotStarted:
            break;
    }
    if (end.reason.empty()) {
        return QStringLiteral("could not start (error %1)").arg(end.code);
    }
    return QStringLiteral("could not start: %1").arg(QString::fromStdString(end.reason));
}

QString FitRunHeading(const QString& program, const QString& folder, const QDateTime& start) {
    return QStringLiteral("%1 in %2, started %3")
        .arg(program, QDir::toNativeSeparators(folder),
             start.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

namespace {

// The output asks for a few lines of room, so that the panel opening for the
// first time leaves most of the window to the plot; the user may make it as
// tall as wanted, and the window keeps that size.
class OutputView : public QPlainTextEdit {
  public:
    static constexpr int kLinesAsked = 6;

    QSize sizeHint() const override {
        const int frame = 2 * frameWidth();
        return {QPlainTextEdit::sizeHint().width(),
                kLinesAsked * fontMetrics().lineSpacing() + frame +
                    static_cast<int>(2 * document()->documentMargin())};
    }
};

}  // namespace

FitRunPanel::FitRunPanel(QWidget* parent)
    : QDockWidget(QStringLiteral("Fitting Program"), parent),
      heading_(new QLabel),
      stopButton_(new QPushButton(QStringLiteral("Stop"))),
      openLogButton_(new QPushButton(QStringLiteral("Open Log Folder"))),
      output_(new OutputView),
      flushTimer_(new QTimer(this)) {
    setObjectName(QStringLiteral("fitRunPanel"));
    setAllowedAreas(Qt::AllDockWidgetAreas);

    heading_->setObjectName(QStringLiteral("fitRunHeading"));
    heading_->setTextFormat(Qt::PlainText);  // folder names are text, not markup
    heading_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    heading_->setMinimumWidth(1);
    stopButton_->setObjectName(QStringLiteral("fitRunStop"));
    stopButton_->setToolTip(QStringLiteral("Stop the fitting program (Escape)"));
    stopButton_->setEnabled(false);
    stopButton_->setFocusPolicy(Qt::NoFocus);
    openLogButton_->setObjectName(QStringLiteral("fitRunOpenLogFolder"));
    openLogButton_->setToolTip(QStringLiteral("Show the folder with the output of every run"));
    openLogButton_->setFocusPolicy(Qt::NoFocus);

    output_->setObjectName(QStringLiteral("fitRunOutput"));
    output_->setReadOnly(true);
    output_->setUndoRedoEnabled(false);
    output_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The open line is the last block, so one more than the lines kept.
    output_->setMaximumBlockCount(FitOutputLines::kMaxLines + 1);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(heading_, 1);
    top->addWidget(stopButton_);
    top->addWidget(openLogButton_);
    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addWidget(output_, 1);
    setWidget(body);

    flushTimer_->setSingleShot(true);
    flushTimer_->setInterval(kRedrawMs);
    connect(flushTimer_, &QTimer::timeout, this, &FitRunPanel::Flush);
    connect(stopButton_, &QPushButton::clicked, this, &FitRunPanel::stopClicked);
    connect(openLogButton_, &QPushButton::clicked, this, &FitRunPanel::OpenLogFolder);
    openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

FitRunPanel::~FitRunPanel() = default;

void FitRunPanel::showEvent(QShowEvent* event) {
    // The fixed font is looked up when the panel first shows: the panel
    // starts hidden, and the window's first picture need not wait for a
    // second font.
    if (!fontChosen_) {
        fontChosen_ = true;
        output_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    }
    QDockWidget::showEvent(event);
}

void FitRunPanel::BeginRun(const QString& heading) {
    lines_.Clear();
    output_->clear();
    lines_.TakeChanges();
    heading_->setText(heading);
    heading_->setToolTip(heading);
    running_ = true;
    stopButton_->setEnabled(true);
    BringToFront();
}

void FitRunPanel::AppendOutput(QByteArrayView bytes) {
    lines_.Append(bytes);
    ScheduleFlush();
}

void FitRunPanel::AddNote(const QString& text) {
    lines_.AddLine(QStringLiteral("Zelk: ") + text);
    ScheduleFlush();
}

void FitRunPanel::EndRun(const QString& endLine) {
    lines_.FinishInput();
    lines_.AddLine(endLine);
    running_ = false;
    stopButton_->setEnabled(false);
    Flush();
}

void FitRunPanel::BringToFront() {
    show();
    raise();
    Flush();
    output_->verticalScrollBar()->setValue(output_->verticalScrollBar()->maximum());
}

void FitRunPanel::ScheduleFlush() {
    if (!flushTimer_->isActive()) {
        flushTimer_->start();
    }
}

void FitRunPanel::Flush() {
    flushTimer_->stop();
    const FitOutputLines::Changes changes = lines_.TakeChanges();
    if (!changes.changed) {
        return;
    }
    QScrollBar* scroll = output_->verticalScrollBar();
    // Follow the output unless the user has scrolled up to read.
    const bool atEnd = scroll->value() >= scroll->maximum();
    QTextDocument* document = output_->document();
    const auto tooLong = [&] {
        return document->characterCount() >
               FitOutputLines::kMaxKeptChars + FitOutputLines::kMaxKeptChars / 4;
    };
    if (changes.rebuild) {
        output_->setPlainText(lines_.Text());
    } else {
        QTextCursor cursor(document);
        cursor.movePosition(QTextCursor::End);
        cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
        cursor.insertText(changes.replaceLastBlock);
        if (tooLong()) {
            output_->setPlainText(lines_.Text());
        }
    }
    if (atEnd) {
        scroll->setValue(scroll->maximum());
    }
}

void FitRunPanel::OpenLogFolder() {
    if (logFolder_.isEmpty()) {
        return;
    }
    QDir().mkpath(logFolder_);
    openUrl(QUrl::fromLocalFile(logFolder_));
}

}  // namespace zelk
