#pragma once
// The bundled plain-text editor's window: one file, a monospace text area,
// line and column in the status bar, the file name and a modified mark in
// the title. Closing with unsaved changes asks first (Save, Discard,
// Cancel); the question and the error report are replaceable so that tests
// run without modal boxes.

#include <QMainWindow>
#include <functional>

#include "NotepadDocument.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolBar;

namespace zelk::notepad {

enum class CloseAnswer { kSave, kDiscard, kCancel };

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
};

}  // namespace zelk::notepad
