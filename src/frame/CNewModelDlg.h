#pragma once
// The new-model dialog: the name under which "newmod.res" is stored and the
// box that makes it the task's model. It edits the view's NewModelDlgData,
// which keeps its values between uses; only the window comes and goes.

#include <QDialog>

#include "plot/Host.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace zelk {

class CNewModelDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CNewModelDlg(NewModelDlgData& dlgData, QWidget* parent = nullptr);

    // Shows the dialog modally. OK and Enter take the controls back into the
    // data and return true; Escape and the close box leave it and return false.
    bool DoModal();

    QLineEdit* nameEdit() const { return nameEdit_; }
    QCheckBox* continueBox() const { return continueBox_; }
    QPushButton* okButton() const { return okButton_; }

    void accept() override;

  private:
    NewModelDlgData& data_;
    QPushButton* okButton_;
    QLineEdit* nameEdit_;
    QCheckBox* continueBox_;
};

}  // namespace zelk
