// The bundled editor: files come back byte for byte as they were, apart from
// the user's edits, and the window asks before unsaved changes are lost.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <filesystem>
#include <memory>

#include "NotepadDocument.h"
#include "NotepadWindow.h"

namespace zelk::notepad {
namespace {

// The application object lives from the first test to the last: created by
// the environment, not at start-up, so that listing the tests needs no
// display, and destroyed before the process's own exit handlers run.
class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

  private:
    int argc_ = 1;
    char name_[18] = "test_zelk_notepad";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};
[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class NotepadFiles : public ::testing::Test {
  protected:
    QString PathOf(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }
    QTemporaryDir dir_;
};

TEST_F(NotepadFiles, UneditedFilesAreWrittenBackByteForByte) {
    const QByteArray cases[] = {
        "",
        "one line without end",
        "a\nb\n",
        "a\r\nb\r\n",
        "a\r\nb",
        "a\rb\r",
        "\xEF\xBB\xBF"
        "bom\r\n",
        "caf\xC3\xA9 \xE2\x82\xAC\n",
        "latin-1 caf\xE9\r\n\xFF\r\n",
        "\n\n\r\n\r\n\r\n",
        "mixed\nline\r\nends\rstay\n\r",
        "non-breaking\xC2\xA0space\n",
        "latin-1 non-breaking\xA0space\n",
        "\t tabs\t\n  trailing blanks  \n",
        // Characters a text widget takes for line or block breaks.
        "para\xE2\x80\xA9graph\r\nline\xE2\x80\xA8sep\nnext\xC2\x85line\r",
        "frame\xEF\xB7\x90marks\xEF\xB7\x91\n",
        // ...next to private-use characters of the file's own.
        "\xEE\x80\x80\xE2\x80\xA9\xEE\x80\x81\n",
        "latin-1 next line\x85\r\n",
    };
    for (const QByteArray& bytes : cases) {
        const QString path = PathOf("file.txt");
        WriteBytes(path, bytes);
        NotepadDocument document;
        QString text;
        QString error;
        ASSERT_TRUE(document.Load(path, text, error)) << error.toStdString();
        EXPECT_FALSE(text.contains(QLatin1Char('\r')));
        ASSERT_TRUE(document.Save(text.split(QLatin1Char('\n')), document.Format().lineEnds, error))
            << error.toStdString();
        EXPECT_EQ(ReadBytes(path), bytes) << bytes.toStdString();
    }
}

TEST_F(NotepadFiles, NewLinesTakeTheFilesLineEnd) {
    struct Case {
        QByteArray before;
        QByteArray after;
    };
    const Case cases[] = {
        {"a\r\nb\r\n", "a\r\nb\r\nnew\r\nline\r\n"},
        {"a\nb\n", "a\nb\nnew\nline\n"},
        {"a\rb\r", "a\rb\rnew\rline\r"},
        {"\xEF\xBB\xBF"
         "a\n",
         "\xEF\xBB\xBF"
         "a\nnew\nline\n"},
    };
    for (const Case& c : cases) {
        const QString path = PathOf("edit.txt");
        WriteBytes(path, c.before);
        NotepadDocument document;
        QString text;
        QString error;
        ASSERT_TRUE(document.Load(path, text, error));
        const QString edited = text + QStringLiteral("new\nline\n");
        ASSERT_TRUE(
            document.Save(edited.split(QLatin1Char('\n')), document.Format().lineEnds, error));
        EXPECT_EQ(ReadBytes(path), c.after) << c.before.toStdString();
    }
}

TEST_F(NotepadFiles, MissingFileIsNewAndSavingCreatesItWithoutBom) {
    const QString path = PathOf("new file.txt");
    NotepadDocument document;
    QString text = QStringLiteral("x");
    QString error;
    ASSERT_TRUE(document.Load(path, text, error));
    EXPECT_TRUE(document.IsNew());
    EXPECT_TRUE(text.isEmpty());
    EXPECT_FALSE(QFile::exists(path));
    ASSERT_TRUE(document.Save({QStringLiteral("\u00e9t\u00e9"), QString()}, {}, error));
    EXPECT_EQ(ReadBytes(path), QByteArray("\xC3\xA9t\xC3\xA9\n"));
    EXPECT_FALSE(document.IsNew());
}

TEST_F(NotepadFiles, SavingKeepsPermissionsAndWritesThroughALink) {
    const QString target = PathOf("target.txt");
    const QString link = PathOf("link.txt");
    WriteBytes(target, "a\n");
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(target, mode));
    ASSERT_TRUE(QFile::link(target, link));
    NotepadDocument document;
    QString text;
    QString error;
    ASSERT_TRUE(document.Load(link, text, error));
    ASSERT_TRUE(document.Save({QStringLiteral("b"), QString()}, {}, error));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ReadBytes(target), QByteArray("b\n"));
    // Owner, group and others; the "user" bits describe the one running the test.
    EXPECT_EQ(QFile::permissions(target) & 0x7077, mode & 0x7077);
}

TEST_F(NotepadFiles, SingleByteFileRefusesCharactersItCannotHold) {
    const QString path = PathOf("latin.txt");
    WriteBytes(path, "caf\xE9\n");
    NotepadDocument document;
    QString text;
    QString error;
    ASSERT_TRUE(document.Load(path, text, error));
    EXPECT_TRUE(document.Format().latin1);
    EXPECT_EQ(text, QStringLiteral("caf\u00e9\n"));
    EXPECT_FALSE(document.Save({text + QStringLiteral("\u20ac")}, {}, error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadBytes(path), QByteArray("caf\xE9\n"));
}

TEST_F(NotepadFiles, SaveIntoAMissingFolderFailsWithAMessage) {
    NotepadDocument document;
    QString text;
    QString error;
    ASSERT_TRUE(document.Load(PathOf("no such folder/f.txt"), text, error));
    EXPECT_FALSE(document.Save({QStringLiteral("x")}, {}, error));
    EXPECT_TRUE(error.contains(QStringLiteral("no such folder")));
}

TEST(NotepadArguments, PathIsArgumentOneWhicheverConventionStartedIt) {
    struct Case {
        QStringList arguments;
        QString path;
    };
    const Case cases[] = {
        {{}, {}},
        {{QStringLiteral("zelk-notepad")}, {}},
        {{QStringLiteral("zelk-notepad"), QStringLiteral("/t/FIT.INP")},
         QStringLiteral("/t/FIT.INP")},
        {{QStringLiteral("/t d/FIT.INP"), QStringLiteral("/t d/FIT.INP")},
         QStringLiteral("/t d/FIT.INP")},
        {{QStringLiteral("zelk-notepad"), QStringLiteral("/t/F"), QStringLiteral("/t/F")},
         QStringLiteral("/t/F")},
        // A path split at its blanks joins up again.
        {{QStringLiteral("zelk-notepad"), QStringLiteral("my"), QStringLiteral("file.txt")},
         QStringLiteral("my file.txt")},
        {{QStringLiteral("/t"), QStringLiteral("d/F"), QStringLiteral("/t"), QStringLiteral("d/F")},
         QStringLiteral("/t d/F")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PathFromArguments(c.arguments), c.path) << c.arguments.join('|').toStdString();
    }
}

class NotepadWindowTest : public NotepadFiles {
  protected:
    void SetUp() override {
        questions_ = 0;
        window_ = std::make_unique<NotepadWindow>();
        window_->SetCloseQuestion([this] {
            ++questions_;
            return answer_;
        });
        window_->SetErrorReport([this](const QString& text) { errors_ << text; });
        window_->SetPathQuestion([this] { return savePath_; });
    }

    void Type(const QString& text) { QTest::keyClicks(window_->Editor(), text); }

    std::unique_ptr<NotepadWindow> window_;
    CloseAnswer answer_ = CloseAnswer::kCancel;
    int questions_ = 0;
    QStringList errors_;
    QString savePath_;
};

TEST_F(NotepadWindowTest, TitleShowsNameAndModifiedMark) {
    const QString path = PathOf("FIT.INP");
    WriteBytes(path, "1\r\n");
    ASSERT_TRUE(window_->Open(path));
    window_->show();
    EXPECT_TRUE(window_->windowTitle().startsWith(QStringLiteral("FIT.INP[*]")));
    EXPECT_FALSE(window_->isWindowModified());
    window_->Editor()->moveCursor(QTextCursor::End);
    Type(QStringLiteral("2"));
    EXPECT_TRUE(window_->isWindowModified());
    ASSERT_TRUE(window_->Save());
    EXPECT_FALSE(window_->isWindowModified());
    EXPECT_EQ(ReadBytes(path), QByteArray("1\r\n2"));
}

TEST_F(NotepadWindowTest, EditedFileKeepsEachLinesOwnEndAndEveryByte) {
    const QString path = PathOf("mixed.txt");
    WriteBytes(path, "a\nb\xC2\xA0\r\nc\rd");
    ASSERT_TRUE(window_->Open(path));
    window_->Editor()->moveCursor(QTextCursor::End);
    Type(QStringLiteral("X"));
    QTest::keyClick(window_->Editor(), Qt::Key_Return);
    Type(QStringLiteral("Y"));
    ASSERT_TRUE(window_->Save());
    // One of each line end: a new line takes LF, the first in the ranking.
    EXPECT_EQ(ReadBytes(path), QByteArray("a\nb\xC2\xA0\r\nc\rdX\nY"));
}

TEST_F(NotepadWindowTest, CloseAsksOnlyWithUnsavedChangesAndObeysTheAnswer) {
    struct Case {
        bool edit;
        CloseAnswer answer;
        int questions;
        bool closed;
        QByteArray file;
    };
    const Case cases[] = {
        {false, CloseAnswer::kCancel, 0, true, "old\n"},
        {true, CloseAnswer::kCancel, 1, false, "old\n"},
        {true, CloseAnswer::kDiscard, 1, true, "old\n"},
        {true, CloseAnswer::kSave, 1, true, "old\nnew"},
    };
    for (const Case& c : cases) {
        SetUp();
        const QString path = PathOf("task.txt");
        WriteBytes(path, "old\n");
        ASSERT_TRUE(window_->Open(path));
        window_->show();
        if (c.edit) {
            window_->Editor()->moveCursor(QTextCursor::End);
            Type(QStringLiteral("new"));
        }
        answer_ = c.answer;
        const bool closed = window_->close();
        EXPECT_EQ(questions_, c.questions);
        EXPECT_EQ(closed, c.closed);
        EXPECT_EQ(window_->isVisible(), !c.closed);
        EXPECT_EQ(ReadBytes(path), c.file);
    }
}

TEST_F(NotepadWindowTest, KeyboardSavesAndQuits) {
    const QString path = PathOf("keys.txt");
    ASSERT_TRUE(window_->Open(path));
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    window_->Editor()->setFocus();
    Type(QStringLiteral("abc"));
    QTest::keyClick(window_->Editor(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(ReadBytes(path), QByteArray("abc"));
    EXPECT_FALSE(window_->isWindowModified());
    Type(QStringLiteral("d"));
    answer_ = CloseAnswer::kCancel;
    QTest::keyClick(window_->Editor(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(questions_, 1);
    EXPECT_TRUE(window_->isVisible());
}

TEST_F(NotepadWindowTest, StatusBarShowsLineAndColumn) {
    const QString path = PathOf("pos.txt");
    WriteBytes(path, "first\nsecond line\n");
    ASSERT_TRUE(window_->Open(path));
    EXPECT_EQ(window_->PositionText(), QStringLiteral("Ln 1, Col 1"));
    QTextCursor cursor(window_->Editor()->document()->findBlockByNumber(1));
    cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 3);
    window_->Editor()->setTextCursor(cursor);
    EXPECT_EQ(window_->PositionText(), QStringLiteral("Ln 2, Col 4"));
}

TEST_F(NotepadWindowTest, FindSelectsEachOccurrenceAndWrapsRound) {
    const QString path = PathOf("find.txt");
    WriteBytes(path, "alpha beta\ngamma beta\ndelta\n");
    ASSERT_TRUE(window_->Open(path));
    ASSERT_TRUE(window_->Find(QStringLiteral("beta")));
    EXPECT_EQ(window_->PositionText(), QStringLiteral("Ln 1, Col 11"));
    ASSERT_TRUE(window_->Find(QStringLiteral("beta")));
    EXPECT_EQ(window_->PositionText(), QStringLiteral("Ln 2, Col 11"));
    ASSERT_TRUE(window_->Find(QStringLiteral("beta")));  // wrapped
    EXPECT_EQ(window_->PositionText(), QStringLiteral("Ln 1, Col 11"));
    // Backward from the first line's match wraps round to the second line's.
    ASSERT_TRUE(window_->Find(QStringLiteral("beta"), true));
    EXPECT_EQ(window_->PositionText(), QStringLiteral("Ln 2, Col 11"));
    EXPECT_EQ(window_->Editor()->textCursor().selectedText(), QStringLiteral("beta"));
    EXPECT_FALSE(window_->Find(QStringLiteral("omega")));
    EXPECT_EQ(window_->PositionText(), QStringLiteral("Ln 2, Col 11"));

    // From the keyboard: Ctrl+F opens the find field, Return searches.
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    QTest::keyClick(window_->Editor(), Qt::Key_F, Qt::ControlModifier);
    auto* field = window_->findChild<QLineEdit*>();
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(field->isVisible());
    QTest::keyClicks(field, QStringLiteral("delta"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(window_->PositionText(), QStringLiteral("Ln 3, Col 6"));
    EXPECT_FALSE(window_->IsModified());
}

TEST_F(NotepadWindowTest, LineAndParagraphSeparatorsStayCharactersOfTheirLine) {
    struct Case {
        QByteArray file;
        int lines;  // as the editor shows them
    };
    const Case cases[] = {
        {"a\xE2\x80\xA9"
         "b\r\nc\n",
         3},
        {"a\xE2\x80\xA8"
         "b\nc\r\nd\r\n",
         4},
        {"x\xC2\x85y\r\n\xE2\x80\xA9\xE2\x80\xA9\r\nz", 3},
        {"\xEF\xB7\x90\xEF\xB7\x91\n\xEE\x80\x80\n", 3},
        {"latin-1\x85\r\n\xFF", 2},
    };
    for (const Case& c : cases) {
        const QString path = PathOf("sep.txt");
        WriteBytes(path, c.file);
        ASSERT_TRUE(window_->Open(path));
        EXPECT_EQ(window_->Editor()->document()->blockCount(), c.lines) << c.file.toStdString();
        window_->Editor()->moveCursor(QTextCursor::End);
        Type(QStringLiteral("E"));
        ASSERT_TRUE(window_->Save()) << errors_.join('\n').toStdString();
        EXPECT_EQ(ReadBytes(path), c.file + "E");
    }
}

TEST_F(NotepadWindowTest, SaveWithoutEditsLeavesTheFileUntouched) {
    const QString path = PathOf("same.txt");
    WriteBytes(path,
               "a\xE2\x80\xA9"
               "b\n");
    const QDateTime old = QDateTime::currentDateTimeUtc().addDays(-3);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    // A second name for the same file: a save that replaced the file would
    // leave it behind with the old bytes.
    std::filesystem::create_hard_link(path.toStdString(), PathOf("same again.txt").toStdString());
    ASSERT_TRUE(window_->Open(path));
    EXPECT_TRUE(window_->Save());
    EXPECT_EQ(QFileInfo(path).lastModified().toUTC(), old);
    EXPECT_EQ(std::filesystem::hard_link_count(path.toStdString()), 2u);
    // Typing and undoing it is no edit either.
    Type(QStringLiteral("x"));
    window_->Editor()->undo();
    EXPECT_TRUE(window_->Save());
    EXPECT_EQ(QFileInfo(path).lastModified().toUTC(), old);
}

class NotepadDiskTest : public NotepadWindowTest {
  protected:
    void SetUp() override {
        NotepadWindowTest::SetUp();
        asked_.clear();
        window_->SetDiskQuestion([this](DiskState state, bool saving) {
            asked_ << QStringLiteral("%1 %2").arg(
                state == DiskState::kRemoved ? "removed" : "changed", saving ? "save" : "notice");
            return diskAnswer_;
        });
    }
    QString Text() const { return window_->Editor()->toPlainText(); }

    QStringList asked_;
    DiskAnswer diskAnswer_ = DiskAnswer::kKeep;
};

TEST_F(NotepadDiskTest, SaveAsksBeforeOverwritingAChangeMadeByAnotherProgram) {
    struct Case {
        bool edit;
        bool removed;  // the other program removed the file instead
        DiskAnswer answer;
        bool saved;
        QByteArray file;
        const char* text;  // in the window afterwards
    };
    const Case cases[] = {
        {true, false, DiskAnswer::kKeep, false, "theirs\n", "mine\nedit"},
        {true, false, DiskAnswer::kOverwrite, true, "mine\nedit", "mine\nedit"},
        {true, false, DiskAnswer::kReload, false, "theirs\n", "theirs\n"},
        {true, true, DiskAnswer::kKeep, false, "<missing>", "mine\nedit"},
        {true, true, DiskAnswer::kOverwrite, true, "mine\nedit", "mine\nedit"},
    };
    for (const Case& c : cases) {
        SetUp();
        const QString path = PathOf("task.txt");
        WriteBytes(path, "mine\n");
        ASSERT_TRUE(window_->Open(path));
        window_->Editor()->moveCursor(QTextCursor::End);
        Type(QStringLiteral("edit"));
        if (c.removed) {
            QFile::remove(path);
        } else {
            WriteBytes(path, "theirs\n");
        }
        diskAnswer_ = c.answer;
        EXPECT_EQ(window_->Save(), c.saved);
        EXPECT_EQ(asked_, QStringList{QString(c.removed ? "removed save" : "changed save")});
        EXPECT_EQ(ReadBytes(path), c.file);
        EXPECT_EQ(Text(), QString::fromUtf8(c.text));
    }
}

TEST_F(NotepadDiskTest, AChangeOnDiskIsOfferedForReloadOnce) {
    const QString path = PathOf("task.txt");
    WriteBytes(path, "one\n");
    ASSERT_TRUE(window_->Open(path));

    // Its own save is no change on disk.
    window_->Editor()->moveCursor(QTextCursor::End);
    Type(QStringLiteral("two"));
    ASSERT_TRUE(window_->Save());
    window_->CheckDiskChange();
    EXPECT_TRUE(asked_.isEmpty());

    WriteBytes(path, "three\n");
    diskAnswer_ = DiskAnswer::kReload;
    window_->CheckDiskChange();
    EXPECT_EQ(asked_, QStringList{"changed notice"});
    EXPECT_EQ(Text(), QStringLiteral("three\n"));
    EXPECT_FALSE(window_->IsModified());

    // Kept: not asked again until Save, which asks before overwriting.
    WriteBytes(path, "four\n");
    diskAnswer_ = DiskAnswer::kKeep;
    window_->CheckDiskChange();
    window_->CheckDiskChange();
    EXPECT_EQ(asked_.size(), 2);
    EXPECT_EQ(Text(), QStringLiteral("three\n"));
    EXPECT_TRUE(window_->IsModified());
    diskAnswer_ = DiskAnswer::kOverwrite;
    EXPECT_TRUE(window_->Save());
    EXPECT_EQ(asked_.last(), QStringLiteral("changed save"));
    EXPECT_EQ(ReadBytes(path), QByteArray("three\n"));
}

TEST_F(NotepadWindowTest, AFileThatCannotBeReadIsNeverOverwritten) {
    // A folder stands for any path that exists but cannot be read as a file.
    const QString path = PathOf("folder");
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("folder")));
    EXPECT_FALSE(window_->Open(path));
    EXPECT_EQ(errors_.size(), 1);
    Type(QStringLiteral("x"));
    EXPECT_FALSE(window_->Save());
    EXPECT_EQ(errors_.size(), 2);
    EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST_F(NotepadWindowTest, UntitledBufferAsksForANameOnSave) {
    // The save dialog confirms replacing an existing file; nothing asks again.
    window_->SetDiskQuestion([](DiskState, bool) {
        ADD_FAILURE() << "asked about a change on disk";
        return DiskAnswer::kKeep;
    });
    WriteBytes(PathOf("chosen.txt"), "older file\n");
    ASSERT_TRUE(window_->Open(QString()));
    EXPECT_TRUE(window_->windowTitle().startsWith(QStringLiteral("Untitled")));
    Type(QStringLiteral("text"));
    savePath_.clear();
    EXPECT_FALSE(window_->Save());
    EXPECT_TRUE(window_->isWindowModified());
    savePath_ = PathOf("chosen.txt");
    EXPECT_TRUE(window_->Save());
    EXPECT_EQ(ReadBytes(savePath_), QByteArray("text"));
    EXPECT_TRUE(window_->windowTitle().startsWith(QStringLiteral("chosen.txt")));
}

}  // namespace
}  // namespace zelk::notepad
