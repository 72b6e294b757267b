// The new-model dialog and the message boxes of the GUI's Host.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <functional>

#include "frame/CMainFrame.h"
#include "frame/CNewModelDlg.h"
#include "frame/CZelkView.h"
#include "frame/GuiHost.h"

namespace zelk::testing {
namespace {

// Runs action on the dialog once its event loop is running.
void WhenShown(std::function<void(CNewModelDlg&)> action) {
    QTimer::singleShot(0, [action] {
        auto* dialog = qobject_cast<CNewModelDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        action(*dialog);
    });
}

TEST(NewModelDialog, HasTheTemplatesTextsAndTabOrder) {
    NewModelDlgData data;
    CNewModelDlg dialog(data);
    EXPECT_EQ(dialog.windowTitle(), "Dialog");
    QStringList labels;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        labels << label->text();
    }
    EXPECT_TRUE(
        labels.contains("If you want to continue with theis file , please, mark the box !"));
    EXPECT_TRUE(labels.contains("Insert the name of the new model.inf file"));
    EXPECT_EQ(dialog.continueBox()->text(), "Check2");
    EXPECT_EQ(dialog.okButton()->text(), "OK");
    EXPECT_TRUE(dialog.okButton()->isDefault());
    const QList<QPushButton*> buttons = dialog.findChildren<QPushButton*>();
    EXPECT_EQ(buttons.size(), 1) << "no Cancel button";
    EXPECT_EQ(dialog.okButton()->nextInFocusChain(), dialog.nameEdit());
    EXPECT_EQ(dialog.nameEdit()->nextInFocusChain(), dialog.continueBox());
}

TEST(NewModelDialog, OkTakesTheControlsAndTheNextUseShowsThem) {
    NewModelDlgData data;
    WhenShown([](CNewModelDlg& dialog) {
        EXPECT_EQ(dialog.focusWidget(), dialog.okButton());
        EXPECT_TRUE(dialog.nameEdit()->text().isEmpty());
        EXPECT_FALSE(dialog.continueBox()->isChecked());
        dialog.nameEdit()->setText("model 2.inf");
        dialog.continueBox()->setChecked(true);
        QTest::keyClick(dialog.okButton(), Qt::Key_Return);
    });
    EXPECT_TRUE(CNewModelDlg(data).DoModal());
    EXPECT_EQ(data.newModelName, "model 2.inf");
    EXPECT_EQ(data.continueWithFile, 1);

    WhenShown([](CNewModelDlg& dialog) {
        EXPECT_EQ(dialog.nameEdit()->text(), "model 2.inf");
        EXPECT_TRUE(dialog.continueBox()->isChecked());
        dialog.continueBox()->setChecked(false);
        dialog.okButton()->click();
    });
    EXPECT_TRUE(CNewModelDlg(data).DoModal());
    EXPECT_EQ(data.continueWithFile, 0);
    EXPECT_EQ(data.newModelName, "model 2.inf");
}

TEST(NewModelDialog, EscapeAndCloseKeepTheMembers) {
    NewModelDlgData data{1, "kept.inf"};
    WhenShown([](CNewModelDlg& dialog) {
        dialog.nameEdit()->setText("changed.inf");
        dialog.continueBox()->setChecked(false);
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_FALSE(CNewModelDlg(data).DoModal());
    WhenShown([](CNewModelDlg& dialog) {
        dialog.nameEdit()->setText("changed again.inf");
        dialog.close();
    });
    EXPECT_FALSE(CNewModelDlg(data).DoModal());
    EXPECT_EQ(data.newModelName, "kept.inf");
    EXPECT_EQ(data.continueWithFile, 1);
}

TEST(GuiHostMessages, BoxHasTheApplicationTitleAndOneOkButton) {
    QWidget owner;
    GuiHost host(owner);
    QString title, text;
    int buttons = -1;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        buttons = static_cast<int>(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    host.ShowMessage("CAN NOT FIND FILE: START_A.INP");
    EXPECT_EQ(title, "Zelk");
    EXPECT_EQ(text, "CAN NOT FIND FILE: START_A.INP");
    EXPECT_EQ(buttons, 1);
}

// A file name in a message is shown as typed, even when it looks like markup.
TEST(GuiHostMessages, NamesInMessagesAreShownAsText) {
    QWidget owner;
    GuiHost host(owner);
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            QTextDocument document;
            if (label->textFormat() == Qt::PlainText) {
                document.setPlainText(label->text());
            } else {
                document.setHtml(label->text());
            }
            shown = document.toPlainText();
        }
        box->button(QMessageBox::Ok)->click();
    });
    host.ShowMessage("CAN NOT COPY newmod.res TO: <b>model</b>.inf");
    EXPECT_EQ(shown, "CAN NOT COPY newmod.res TO: <b>model</b>.inf");
}

TEST(GuiHostMessages, FatalEndsTheProcessWithStatusOneOnceClosed) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QWidget owner;
            GuiHost host(owner);
            QTimer::singleShot(0, [] {
                if (QWidget* box = QApplication::activeModalWidget()) {
                    box->close();
                }
            });
            host.Fatal("Invalid parameters file\ndemo.axis: 8 values found, 9 needed");
        },
        ::testing::ExitedWithCode(1), "");
}

// A note goes to the status bar on one line, and no box comes up.
TEST(GuiHostMessages, NoticeGoesToTheStatusBarWithoutABox) {
    CMainFrame frame;
    frame.view()->guiHost().ShowNotice(
        "fileRES - 2 curves, fileE1 - 3 curves\nres.dat: stacked differently");
    EXPECT_EQ(frame.statusBar()->currentMessage(),
              "fileRES - 2 curves, fileE1 - 3 curves - res.dat: stacked differently");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(GuiHostMessages, YesNoQuestionDefaultsToNo) {
    QWidget owner;
    GuiHost host(owner);
    struct Case {
        int key;  // pressed in the box
        bool answer;
    };
    for (const Case c :
         {Case{Qt::Key_Return, false}, Case{Qt::Key_Escape, false}, Case{Qt::Key_Y, true}}) {
        QString title;
        QString text;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            text = box->text();
            if (c.key == Qt::Key_Y) {
                box->button(QMessageBox::Yes)->click();
            } else {
                QTest::keyClick(box, static_cast<Qt::Key>(c.key));
            }
        });
        EXPECT_EQ(host.AskYesNo("Replace START_A.INP?"), c.answer) << c.key;
        EXPECT_EQ(title, "Zelk");
        EXPECT_EQ(text, "Replace START_A.INP?");
    }
}

TEST(GuiHostMessages, NewModelDialogEditsTheGivenData) {
    QWidget owner;
    GuiHost host(owner);
    NewModelDlgData data;
    WhenShown([](CNewModelDlg& dialog) {
        dialog.nameEdit()->setText("next.inf");
        dialog.okButton()->click();
    });
    EXPECT_TRUE(host.RunNewModelDialog(data));
    EXPECT_EQ(data.newModelName, "next.inf");
}

}  // namespace
}  // namespace zelk::testing
