#include "NotepadWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBlock>
#include <QToolBar>

namespace zelk::notepad {

NotepadWindow::NotepadWindow(QWidget* parent) : QMainWindow(parent) {
    editor_ = new QPlainTextEdit(this);
    const QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    editor_->setFont(font);
    editor_->setTabStopDistance(8 * QFontMetricsF(font).horizontalAdvance(QLatin1Char(' ')));
    // Task files are columns of numbers: wrapping would hide their shape.
    editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
    setCentralWidget(editor_);

    position_ = new QLabel(this);
    format_ = new QLabel(this);
    format_->setContentsMargins(16, 0, 4, 0);
    statusBar()->addPermanentWidget(position_);
    statusBar()->addPermanentWidget(format_);

    askClose_ = [this] {
        const auto answer = QMessageBox::question(
            this, QStringLiteral("Zelk Notepad"),
            QStringLiteral("Save the changes to \"%1\"?")
                .arg(document_.Path().isEmpty() ? QStringLiteral("Untitled")
                                                : QFileInfo(document_.Path()).fileName()),
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        return answer == QMessageBox::Save      ? CloseAnswer::kSave
               : answer == QMessageBox::Discard ? CloseAnswer::kDiscard
                                                : CloseAnswer::kCancel;
    };
    reportError_ = [this](const QString& text) {
        QMessageBox::warning(this, QStringLiteral("Zelk Notepad"), text);
    };
    askPath_ = [this] { return QFileDialog::getSaveFileName(this, QStringLiteral("Save As")); };
    askDisk_ = [this](DiskState state, bool saving) {
        const QString name = QFileInfo(document_.Path()).fileName();
        QMessageBox box(
            QMessageBox::Warning, QStringLiteral("Zelk Notepad"),
            state == DiskState::kRemoved
                ? QStringLiteral("\"%1\" has been removed by another program.").arg(name)
                : QStringLiteral("\"%1\" has been changed by another program.").arg(name),
            QMessageBox::NoButton, this);
        QPushButton* reload =
            state == DiskState::kRemoved
                ? nullptr
                : box.addButton(QStringLiteral("&Reload"), QMessageBox::DestructiveRole);
        QPushButton* overwrite =
            saving ? box.addButton(state == DiskState::kRemoved ? QStringLiteral("&Save Again")
                                                                : QStringLiteral("&Overwrite"),
                                   QMessageBox::AcceptRole)
                   : nullptr;
        QPushButton* keep =
            box.addButton(saving ? QStringLiteral("Cancel") : QStringLiteral("&Keep This Version"),
                          QMessageBox::RejectRole);
        if (saving) {
            box.setInformativeText(
                QStringLiteral("Overwrite it with the text in this window, or reload it and "
                               "lose the changes made here?"));
        } else if (IsModified()) {
            box.setInformativeText(
                QStringLiteral("Reload it and lose the changes made here, or keep editing this "
                               "version (Save will ask again)?"));
        } else {
            box.setInformativeText(QStringLiteral("Reload it?"));
        }
        // Nothing is lost by the default: reload when there is nothing of the
        // user's to lose, else keep.
        box.setDefaultButton(!saving && !IsModified() && reload ? reload : keep);
        box.exec();
        return box.clickedButton() == reload      ? DiskAnswer::kReload
               : box.clickedButton() == overwrite ? DiskAnswer::kOverwrite
                                                  : DiskAnswer::kKeep;
    };
    watcher_ = new QFileSystemWatcher(this);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, [this] {
        // A program that saves by replacing the file ends the watch on it.
        WatchFile();
        CheckDiskChange();
    });

    CreateFindBar();
    CreateActions();
    connect(editor_->document(), &QTextDocument::modificationChanged, this,
            &QWidget::setWindowModified);
    connect(editor_, &QPlainTextEdit::cursorPositionChanged, this, &NotepadWindow::UpdatePosition);
    resize(800, 600);
    UpdateTitle();
    UpdatePosition();
}

void NotepadWindow::CreateActions() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* save = file->addAction(QStringLiteral("&Save"), this, [this] { Save(); });
    save->setShortcut(QKeySequence::Save);
    file->addSeparator();
    QAction* quit = file->addAction(QStringLiteral("&Quit"), this, &QWidget::close);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    QAction* undo = edit->addAction(QStringLiteral("&Undo"), editor_, &QPlainTextEdit::undo);
    undo->setShortcut(QKeySequence::Undo);
    QAction* redo = edit->addAction(QStringLiteral("&Redo"), editor_, &QPlainTextEdit::redo);
    redo->setShortcut(QKeySequence::Redo);
    edit->addSeparator();
    edit->addAction(QStringLiteral("Cu&t"), editor_, &QPlainTextEdit::cut)
        ->setShortcut(QKeySequence::Cut);
    edit->addAction(QStringLiteral("&Copy"), editor_, &QPlainTextEdit::copy)
        ->setShortcut(QKeySequence::Copy);
    edit->addAction(QStringLiteral("&Paste"), editor_, &QPlainTextEdit::paste)
        ->setShortcut(QKeySequence::Paste);
    edit->addAction(QStringLiteral("Select &All"), editor_, &QPlainTextEdit::selectAll)
        ->setShortcut(QKeySequence::SelectAll);
    // The editor's own shortcuts would otherwise be ambiguous with the menu's.
    for (QAction* action : edit->actions()) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    }
    edit->addSeparator();
    edit->addAction(QStringLiteral("&Find..."), this,
                    [this] {
                        findBar_->show();
                        findText_->setFocus();
                        findText_->selectAll();
                    })
        ->setShortcut(QKeySequence::Find);
    edit->addAction(QStringLiteral("Find &Next"), this, [this] { Find(findText_->text()); })
        ->setShortcut(QKeySequence::FindNext);
    edit->addAction(QStringLiteral("Find Pre&vious"), this,
                    [this] { Find(findText_->text(), true); })
        ->setShortcut(QKeySequence::FindPrevious);
    QAction* wrap =
        menuBar()->addMenu(QStringLiteral("&View"))->addAction(QStringLiteral("&Wrap Long Lines"));
    wrap->setCheckable(true);
    connect(wrap, &QAction::toggled, this, [this](bool on) {
        editor_->setLineWrapMode(on ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    });
}

void NotepadWindow::CreateFindBar() {
    findBar_ = new QToolBar(QStringLiteral("Find"), this);
    findBar_->setMovable(false);
    findBar_->addWidget(new QLabel(QStringLiteral(" Find: "), findBar_));
    findText_ = new QLineEdit(findBar_);
    findText_->setClearButtonEnabled(true);
    findBar_->addWidget(findText_);
    findBar_->addAction(QStringLiteral("Next"), this, [this] { Find(findText_->text()); });
    findBar_->addAction(QStringLiteral("Previous"), this,
                        [this] { Find(findText_->text(), true); });
    QAction* hide = findBar_->addAction(QStringLiteral("Close"), this, [this] {
        findBar_->hide();
        editor_->setFocus();
    });
    hide->setShortcut(Qt::Key_Escape);
    hide->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(findText_, &QLineEdit::returnPressed, this, [this] { Find(findText_->text()); });
    addToolBar(Qt::BottomToolBarArea, findBar_);
    findBar_->hide();
}

bool NotepadWindow::Find(const QString& text, bool backward) {
    if (text.isEmpty()) {
        return false;
    }
    const QTextDocument::FindFlags flags =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (editor_->find(text, flags)) {
        return true;
    }
    const QTextCursor before = editor_->textCursor();
    editor_->moveCursor(backward ? QTextCursor::End : QTextCursor::Start);
    if (editor_->find(text, flags)) {
        statusBar()->showMessage(QStringLiteral("Search wrapped round the end of the file"), 3000);
        return true;
    }
    editor_->setTextCursor(before);
    statusBar()->showMessage(QStringLiteral("Not found: %1").arg(text), 3000);
    return false;
}

bool NotepadWindow::Open(const QString& path) {
    QString text;
    QString error;
    readFailed_ = false;
    const QString absolute = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    bool ok = true;
    if (absolute.isEmpty()) {
        document_ = NotepadDocument();
    } else if (!document_.Load(absolute, text, error)) {
        readFailed_ = true;
        ok = false;
        reportError_(error);
    }
    editor_->setPlainText(text);
    // Each line remembers the file's own line end; new lines carry -1.
    const QList<int>& ends = document_.Format().lineEnds;
    int line = 0;
    for (QTextBlock block = editor_->document()->begin(); block.isValid();
         block = block.next(), ++line) {
        block.setUserState(ends.value(line, -1));
    }
    editor_->document()->setModified(false);
    diskChangeKept_ = false;
    WatchFile();
    statusBar()->showMessage(document_.IsNew() && !absolute.isEmpty() && ok
                                 ? QStringLiteral("New file: saving creates it")
                                 : QString());
    UpdateTitle();
    UpdatePosition();
    return ok;
}

bool NotepadWindow::Save() {
    if (readFailed_) {
        reportError_(QStringLiteral("\"%1\" could not be read, so it is not overwritten.")
                         .arg(document_.Path()));
        return false;
    }
    const bool chosenNow = document_.Path().isEmpty();
    if (chosenNow) {
        const QString chosen = askPath_();
        if (chosen.isEmpty()) {
            return false;
        }
        document_.SetPath(QFileInfo(chosen).absoluteFilePath());
    } else if (!IsModified() && !document_.IsNew()) {
        // Nothing to write: the file keeps its bytes and its time stamp.
        statusBar()->showMessage(QStringLiteral("No changes to save"), 3000);
        return true;
    }
    // A name just chosen in the save dialog was confirmed there; only the
    // file this window read can have changed under it.
    const DiskState disk = chosenNow ? DiskState::kSame : document_.CheckDisk();
    if (disk != DiskState::kSame) {
        switch (askDisk_(disk, true)) {
            case DiskAnswer::kOverwrite:
                break;
            case DiskAnswer::kReload:
                Open(document_.Path());
                return false;
            case DiskAnswer::kKeep:
                return false;
        }
    }
    // Block by block: toPlainText() would turn non-breaking spaces into blanks.
    QStringList lines;
    QList<int> ends;
    for (QTextBlock block = editor_->document()->begin(); block.isValid(); block = block.next()) {
        lines << block.text();
        if (block.next().isValid()) {
            ends << block.userState();
        }
    }
    QString error;
    if (!document_.Save(lines, ends, error)) {
        reportError_(error);
        return false;
    }
    editor_->document()->setModified(false);
    diskChangeKept_ = false;
    WatchFile();
    statusBar()->showMessage(QStringLiteral("Saved"), 3000);
    UpdateTitle();
    return true;
}

void NotepadWindow::WatchFile() {
    if (!watcher_->files().isEmpty()) {
        watcher_->removePaths(watcher_->files());
    }
    if (!document_.Path().isEmpty() && QFileInfo(document_.Path()).isFile()) {
        watcher_->addPath(document_.Path());
    }
}

void NotepadWindow::CheckDiskChange() {
    // One question at a time, and none again for a change already kept.
    if (askingDisk_ || diskChangeKept_ || readFailed_) {
        return;
    }
    const DiskState disk = document_.CheckDisk();
    if (disk == DiskState::kSame) {
        return;
    }
    askingDisk_ = true;
    const DiskAnswer answer = askDisk_(disk, false);
    askingDisk_ = false;
    if (answer == DiskAnswer::kReload && disk == DiskState::kChanged) {
        Open(document_.Path());
    } else {
        diskChangeKept_ = true;
        editor_->document()->setModified(true);
    }
}

bool NotepadWindow::IsModified() const {
    return editor_->document()->isModified();
}

void NotepadWindow::closeEvent(QCloseEvent* event) {
    if (!IsModified()) {
        event->accept();
        return;
    }
    switch (askClose_()) {
        case CloseAnswer::kSave:
            if (Save()) {
                event->accept();
            } else {
                event->ignore();
            }
            return;
        case CloseAnswer::kDiscard:
            event->accept();
            return;
        case CloseAnswer::kCancel:
            event->ignore();
            return;
    }
}

void NotepadWindow::UpdateTitle() {
    const QString path = document_.Path();
    if (path.isEmpty()) {
        setWindowTitle(QStringLiteral("Untitled[*] - Zelk Notepad"));
    } else {
        const QFileInfo info(path);
        setWindowTitle(QStringLiteral("%1[*] - %2 - Zelk Notepad")
                           .arg(info.fileName(), QDir::toNativeSeparators(info.absolutePath())));
    }
    setWindowModified(IsModified());
    format_->setText(document_.FormatLabel());
}

QString NotepadWindow::PositionText() const {
    const QTextCursor cursor = editor_->textCursor();
    return QStringLiteral("Ln %1, Col %2")
        .arg(cursor.blockNumber() + 1)
        .arg(cursor.positionInBlock() + 1);
}

void NotepadWindow::UpdatePosition() {
    position_->setText(PositionText());
}

}  // namespace zelk::notepad
