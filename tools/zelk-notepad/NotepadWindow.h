#pragma once
// The bundled plain-text editor's window: one file, a monospace text area,
// line and column in the status bar, the file name and a modified mark in
// the title. Closing with unsaved changes asks first (Save, Discard,
// Cancel); the question and the error report are replaceable so that tests
// run without modal boxes.

#include <QMainWindow>
#include <functional>

#include "NotepadDocument.h"

class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolBar;

namespace zelk::notepad {

enum class CloseAnswer { kSave, kDiscard, kCancel };
// What to do when the file has been changed on disk by another program.
enum class DiskAnswer { kReload, kOverwrite, kKeep };

class NotepadWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit NotepadWindow(QWidget* parent = nullptr);

    // Opens `path` (an empty buffer when the file does not exist; an
    // untitled one for an empty path). False when the file cannot be read;
    // the window then holds an empty buffer that will not overwrite it.
    bool Open(const QString& path);
    bool Save();
    // Selects the next (or previous) occurrence of `text`, wrapping round
    // the end of the file; false when there is none.
    bool Find(const QString& text, bool backward = false);

    void SetCloseQuestion(std::function<CloseAnswer()> ask) { askClose_ = std::move(ask); }
    void SetErrorReport(std::function<void(const QString&)> report) {
        reportError_ = std::move(report);
    }
    // Asked for a file name when an untitled buffer is saved; empty cancels.
    void SetPathQuestion(std::function<QString()> ask) { askPath_ = std::move(ask); }
    // Asked when the file on disk is no longer what was read or saved: on
    // Save (`saving`: kOverwrite, kReload or kKeep, which cancels the save),
    // or when the window notices the change (kReload or kKeep).
    void SetDiskQuestion(std::function<DiskAnswer(DiskState, bool saving)> ask) {
        askDisk_ = std::move(ask);
    }

    // Looks at the file on disk and, when another program has changed it,
    // asks whether to reload. The window runs it when the file changes.
    void CheckDiskChange();

    QPlainTextEdit* Editor() const { return editor_; }
    const NotepadDocument& Document() const { return document_; }
    QString PositionText() const;
    bool IsModified() const;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateActions();
    void CreateFindBar();
    void UpdateTitle();
    void UpdatePosition();
    void WatchFile();

    NotepadDocument document_;
    QPlainTextEdit* editor_ = nullptr;
    QLabel* position_ = nullptr;
    QLabel* format_ = nullptr;
    QToolBar* findBar_ = nullptr;
    QLineEdit* findText_ = nullptr;
    // Set when the file exists but could not be read: saving would destroy it.
    bool readFailed_ = false;
    std::function<CloseAnswer()> askClose_;
    std::function<void(const QString&)> reportError_;
    std::function<QString()> askPath_;
    std::function<DiskAnswer(DiskState, bool)> askDisk_;
    QFileSystemWatcher* watcher_ = nullptr;
    bool askingDisk_ = false;
    // A change on disk that the user chose to keep their version over; not
    // asked about again until Save.
    bool diskChangeKept_ = false;
};

}  // namespace zelk::notepad
