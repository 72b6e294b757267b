#include "frame/CNewModelDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace zelk {

CNewModelDlg::CNewModelDlg(NewModelDlgData& dlgData, QWidget* parent)
    : QDialog(parent), data_(dlgData) {
    setWindowTitle(QStringLiteral("Dialog"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    // Created in tab order: OK, the name, the box.
    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    okButton_->setDefault(true);
    okButton_->setAutoDefault(true);
    nameEdit_ = new QLineEdit(this);
    nameEdit_->setObjectName(QStringLiteral("newModelName"));
    continueBox_ = new QCheckBox(QStringLiteral("Check2"), this);
    continueBox_->setObjectName(QStringLiteral("continueWithFile"));

    auto* nameLabel = new QLabel(QStringLiteral("Insert the name of the new model.inf file"), this);
    auto* boxLabel = new QLabel(
        QStringLiteral("If you want to continue with theis file , please, mark the box !"), this);
    boxLabel->setWordWrap(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(nameLabel, 0, 0, 1, 2);
    grid->addWidget(nameEdit_, 1, 0, 1, 2);
    grid->addWidget(boxLabel, 2, 0);
    grid->addWidget(continueBox_, 2, 1, Qt::AlignTop);
    grid->addWidget(okButton_, 3, 0, 1, 2, Qt::AlignHCenter);
    grid->setColumnStretch(0, 1);
    nameEdit_->setMinimumWidth(fontMetrics().averageCharWidth() * 40);

    setTabOrder(okButton_, nameEdit_);
    setTabOrder(nameEdit_, continueBox_);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
}

bool CNewModelDlg::DoModal() {
    nameEdit_->setText(QString::fromStdString(data_.newModelName));
    continueBox_->setChecked(data_.continueWithFile == 1);
    okButton_->setFocus(Qt::OtherFocusReason);
    return exec() == QDialog::Accepted;
}

void CNewModelDlg::accept() {
    data_.newModelName = nameEdit_->text().toStdString();
    data_.continueWithFile = continueBox_->isChecked() ? 1 : 0;
    QDialog::accept();
}

}  // namespace zelk
