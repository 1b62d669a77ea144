#include "shell/DlgMsgBox.h"

#include "shell/ControlHints.h"
#include "shell/ControlIds.h"
#include "shell/Relabel.h"
#include "shell/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvex {

CDlgMsgBox::CDlgMsgBox(const QString& message, const QString& first, const QString& second, QWidget* owner)
    : QDialog(owner) {
    SetTemplateId(this, tmpl::MsgBox);
    UsePageBackground(this);
    setMinimumWidth(420);

    auto* text = new QLabel(message, this);
    SetCtrlId(text, kTextId);
    text->setWordWrap(true);

    auto* firstButton = new QPushButton(first, this);
    SetCtrlId(firstButton, kFirstId);
    auto* secondButton = new QPushButton(second, this);
    SetCtrlId(secondButton, kSecondId);
    auto* cancel = new QPushButton(QString::fromUtf8("取消"), this);
    SetCtrlId(cancel, kCancelId);
    firstButton->setDefault(true);

    connect(firstButton, &QPushButton::clicked, this, [this] { done(1); });
    connect(secondButton, &QPushButton::clicked, this, [this] { done(2); });
    connect(cancel, &QPushButton::clicked, this, [this] { done(0); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(firstButton);
    buttons->addWidget(secondButton);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(16);
    layout->addWidget(text);
    layout->addLayout(buttons);

    RelabelDialog(this, tmpl::MsgBox);
    ApplyControlHints(this);
}

} // namespace orvex
