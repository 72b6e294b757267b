#include "app/CAboutDlg.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace zelk {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Zelk"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    auto* icon = new QLabel(this);
    icon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    auto* name = new QLabel(QStringLiteral("Zelk Version 1.0"), this);
    name->setTextFormat(Qt::PlainText);
    auto* about =
        new QLabel(QStringLiteral("Shows measured and fitted curves of a fitting task"), this);
    about->setTextFormat(Qt::PlainText);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(name, 0, 1);
    grid->addWidget(about, 1, 1);
    grid->addWidget(ok, 0, 2, Qt::AlignTop);
    grid->setHorizontalSpacing(16);
    name->setFocusPolicy(Qt::NoFocus);
    about->setFocusPolicy(Qt::NoFocus);
    ok->setFocus(Qt::OtherFocusReason);
}

}  // namespace zelk
