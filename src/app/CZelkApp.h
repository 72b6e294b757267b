#pragma once
// The application: start-up from the command line, the one document and its
// main window, the application's share of the commands (new, open, save,
// printer setup, about, exit) and the settings with the recent-file list.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "app/CZelkDoc.h"
#include "app/CommandLine.h"
#include "app/RecentFileList.h"

class QDialog;

namespace zelk {

class CMainFrame;

class CZelkApp {
  public:
    CZelkApp();
    ~CZelkApp();
    CZelkApp(const CZelkApp&) = delete;
    CZelkApp& operator=(const CZelkApp&) = delete;

    // Runs the command line (args without the program's name). Returns the
    // exit status when the program must end at once (a print, help, a file
    // that cannot be opened), or nothing when the window is up and the event
    // loop should run.
    std::optional<int> InitInstance(const QStringList& args);

    // Stores the settings at a normal end.
    void ExitInstance();

    // The application's share of the command table.
    bool OnCommand(int id);
    void OnFileNew();
    void OnFileOpen();
    void OnFileSave();
    void OnFilePrintSetup();
    void OnAppAbout();
    void OnAppExit();
    // SIGTERM, SIGHUP or SIGINT: a running fit is stopped and its command
    // puts FIT.INP back first; then the application ends as on Exit.
    void OnTerminationSignal(int signalNumber);

    CMainFrame* mainFrame() const { return frame_.get(); }
    CZelkDoc& document() { return doc_; }
    const RecentFileList& recentFiles() const { return recent_; }
    const RecentFileList& recentTaskFolders() const { return recentFolders_; }

    // "Open Task Folder...": the folder chooser, then the task loaded as
    // --task loads it. A folder that cannot be used is reported and the task
    // on screen stays.
    void OnOpenTaskFolder();
    bool OpenTaskFolder(const QString& dir);

    // What asks the user for a file name (empty: cancelled), what shows a
    // modal dialog, and what reports a failure. Tests replace them.
    std::function<QString()> chooseOpenFile;
    std::function<QString()> chooseSaveFile;
    std::function<QString()> chooseTaskFolder;
    std::function<int(QDialog&)> runDialog;
    std::function<void(const QString&)> reportError;
    // Whether standard error reaches someone; when it does not, a start-up
    // failure is also reported through reportError.
    std::function<bool()> hasTerminal;

  private:
    void CreateFrame();
    void DocumentChanged();
    // A failure that ends start-up: on standard error, and in a box as well
    // when Zelk was not started from a terminal.
    void StartupError(const QString& text);
    std::optional<int> PrintAndEnd(const CommandLineInfo& info);
    std::optional<int> LoadTaskFolder(const QString& dir);
    // Makes dir current and loads its task; false with the reason when dir is
    // no task folder (nothing changed then).
    bool EnterTaskFolder(const QString& dir, QString& error);
    void RecentTaskFoldersChanged();

    CZelkDoc doc_;
    RecentFileList recent_;
    RecentFileList recentFolders_{QStringLiteral("Recent Task Folders"), QStringLiteral("Folder")};
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace zelk
