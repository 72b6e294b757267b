#pragma once
// The "Fitting Program" panel: what the fitting program writes, live, under a
// heading that names the program, the task folder and the start time, with a
// last line that says how the run ended. Stop ends the program; "Open Log
// Folder" shows where every run's whole output is kept.
//
// Output is taken in as it comes and drawn on a timer, so that a program
// writing tens of megabytes a second neither stalls the window nor makes it
// keep more than the last lines.

#include <QDateTime>
#include <QDockWidget>
#include <QString>
#include <QUrl>
#include <functional>

#include "frame/FitOutputLines.h"
#include "platform/ProgramRun.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace zelk {

// "ended with exit status 3 after 12.4 s", "ended by signal 11 (Segmentation
// fault)", "stopped", or why the program could not start.
QString FitRunEndLine(const ProgramEnd& end);

// "./fitprog in /home/me/task, started 2026-12-07 14:03:12"
QString FitRunHeading(const QString& program, const QString& folder, const QDateTime& start);

class FitRunPanel : public QDockWidget {
    Q_OBJECT
  public:
    static constexpr int kRedrawMs = 80;

    explicit FitRunPanel(QWidget* parent = nullptr);
    ~FitRunPanel() override;

    // A run starts: the panel empties, shows the heading, opens and comes to
    // the front.
    void BeginRun(const QString& heading);
    // The next chunk of the program's output, as it came.
    void AppendOutput(QByteArrayView bytes);
    // A line from Zelk itself (a warning about the run).
    void AddNote(const QString& text);
    // The run is over: what is still buffered is shown, then the end line.
    void EndRun(const QString& endLine);
    // Opens the panel, brings it before any panel it shares a place with,
    // and scrolls to the last line.
    void BringToFront();
    // Draws what has been buffered now rather than at the next tick.
    void Flush();

    bool running() const { return running_; }
    const FitOutputLines& lines() const { return lines_; }
    QPlainTextEdit* output() const { return output_; }
    QPushButton* stopButton() const { return stopButton_; }
    QPushButton* openLogFolderButton() const { return openLogButton_; }
    QLabel* heading() const { return heading_; }

    // The folder "Open Log Folder" shows, and what opens it (tests replace it).
    void SetLogFolder(const QString& folder) { logFolder_ = folder; }
    const QString& logFolder() const { return logFolder_; }
    std::function<bool(const QUrl&)> openUrl;

  signals:
    void stopClicked();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void OpenLogFolder();
    void ScheduleFlush();

    QLabel* heading_;
    QPushButton* stopButton_;
    QPushButton* openLogButton_;
    QPlainTextEdit* output_;
    QTimer* flushTimer_;
    bool fontChosen_ = false;
    FitOutputLines lines_;
    QString logFolder_;
    bool running_ = false;
};

}  // namespace zelk
