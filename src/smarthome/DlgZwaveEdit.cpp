#include "smarthome/DlgZwaveEdit.h"

#include "widgets/ControlId.h"
#include "model/SmartHomeTables.h"
#include "shell/ControlHints.h"
#include "shell/ControlIds.h"
#include "link/DeviceSession.h"
#include "shell/Language.h"
#include "shell/MessageBoxes.h"
#include "smarthome/DialogHomeTheater.h"
#include "smarthome/PlugCommon.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <set>

namespace orvex {

CDlgZwaveEdit::CDlgZwaveEdit(const PageContext& ctx, QWidget* parent)
    : CToolDialog(tmpl::PlugEdit, parent), m_ctx(ctx) {
    setWindowTitle(QString::fromUtf8("插座属性"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(18, 16, 18, 14);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);

    auto* typeLabel = new QLabel(QString::fromUtf8("类型"), this);
    SetCtrlId(typeLabel, kTypeLabelId);
    m_type = new QComboBox(this);
    m_type->addItem(QString(), kPlugTypeSwitch);
    m_type->addItem(QString(), kPlugTypeDimmer);
    auto* nameLabel = new QLabel(QString::fromUtf8("名称"), this);
    SetCtrlId(nameLabel, kNameLabelId);
    m_name = new QLineEdit(this);
    m_name->setMaxLength(kMaxNameChars);
    m_name->setMinimumWidth(m_name->fontMetrics().horizontalAdvance(QString(kMaxNameChars, QChar(0x6D4B))) + 16);
    typeLabel->setBuddy(m_type);
    SetHint(m_type, "插座类型: 开关或调光", "Plug type: switch or dimmer");
    SetHint(m_name, "插座名称, 最多12个字", "Plug name, up to 12 characters");
    nameLabel->setBuddy(m_name);
    grid->addWidget(typeLabel, 0, 0);
    grid->addWidget(m_type, 0, 1);
    grid->addWidget(nameLabel, 1, 0);
    grid->addWidget(m_name, 1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_ok = new QPushButton(this);
    SetCtrlId(m_ok, kOkId);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QString::fromUtf8("取消"), this);
    SetCtrlId(m_cancel, kCancelId);
    m_cancel->setAutoDefault(false);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    grid->addLayout(buttons, 2, 0, 1, 2);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_type, m_name);
    setTabOrder(m_name, m_ok);
    setTabOrder(m_ok, m_cancel);

    connect(m_type, &QComboBox::currentIndexChanged, this, &CDlgZwaveEdit::OnTypeChanged);
    connect(m_ok, &QPushButton::clicked, this, &CDlgZwaveEdit::OnOk);
    connect(m_cancel, &QPushButton::clicked, this, &CDlgZwaveEdit::Close);
    Relabel();
    StartAdd();
}

void CDlgZwaveEdit::Relabel() {
    CToolDialog::Relabel();
    m_type->setItemText(0, Tr2("开关插座", "Switch"));
    m_type->setItemText(1, Tr2("调压插座", "Knob"));
    UpdateOkText();
}

void CDlgZwaveEdit::UpdateOkText() {
    m_ok->setText(m_adding ? Tr2("添加", "Add") : Tr2("修改", "Modify"));
}

QString CDlgZwaveEdit::ProposeName(const QString& prefix) const {
    const SmartHomeTables& tables = m_ctx.session.Link().SmartHome();
    std::set<QString> taken;
    for (int node : tables.PresentNodes()) {
        if (IsPlugNode(node))
            taken.insert(QString::fromStdU16String(PlugRecordName(tables.Plug(node))));
    }
    for (int n = 1; n <= 254; ++n) {
        const QString name = prefix + QString::number(n);
        if (!taken.contains(name))
            return name;
    }
    return prefix + QStringLiteral("254");
}

void CDlgZwaveEdit::StartAdd() {
    m_adding = true;
    m_node = 0;
    m_filling = true;
    m_type->setCurrentIndex(0);
    m_filling = false;
    // Only a proposal: the module keeps whatever name the user confirms, in either language.
    m_name->setText(ProposeName(Tr2("开关", "Switch")));
    UpdateOkText();
    m_name->setFocus();
    m_name->selectAll();
}

void CDlgZwaveEdit::StartModify(int node) {
    m_adding = false;
    m_node = node;
    const PlugRecord record = m_ctx.session.Link().SmartHome().Plug(node);
    m_filling = true;
    m_type->setCurrentIndex(record[0] == kPlugTypeDimmer ? 1 : 0);
    m_filling = false;
    m_name->setText(QString::fromStdU16String(PlugRecordName(record)));
    UpdateOkText();
    m_name->setFocus();
    m_name->selectAll();
}

void CDlgZwaveEdit::OnTypeChanged() {
    if (m_filling || !m_adding)
        return;
    m_name->setText(ProposeName(Tr2("无名", "Unnamed")));
}

void CDlgZwaveEdit::OnOk() {
    if (!m_ctx.session.IsConnected()) {
        m_ctx.display.ShowInfoMessage(Tr2("请先连接设备!", "Please connect device!"), kPlugNoticeMs);
        Close();
        return;
    }
    QString name = m_name->text();
    if (name.isEmpty()) {
        ShowMessageBox(this, {QMessageBox::Information, Tr2("提示", "Note"),
                              Tr2("名称不能为空", "The name cannot be empty"), QMessageBox::Ok});
        return;
    }
    if (name.size() > kMaxNameChars) {
        ShowMessageBox(
            this, {QMessageBox::Information, Tr2("提示", "Note"),
                   Tr2("名字太长，只保留12个字符长度", "The name is too long; only its first 12 characters are kept"),
                   QMessageBox::Ok});
        name.truncate(kMaxNameChars);
    }
    const uint8_t type = static_cast<uint8_t>(m_type->currentData().toInt());
    auto* window = qobject_cast<CDialogHomeTheater*>(m_ctx.display.ToolDialog(tmpl::SmartPlug));
    if (m_adding) {
        // The dialog goes first: the wait dialog of the add is modal.
        Close();
        if (window) {
            window->StartAddPlug(type, name);
            window->RefreshFromStore();
        }
        return;
    }
    if (IsPlugNode(m_node)) {
        const PlugRecord record = MakePlugRecord(type, name.toStdU16String());
        m_ctx.session.Link().SmartHome().SetPlug(m_node, record);
        m_ctx.session.Commands().WriteSceneMemory(static_cast<uint16_t>(m_node * kPlugRecordSize), record);
    }
    if (window)
        window->RefreshFromStore();
    Close();
}

void CDlgZwaveEdit::Close() {
    hide();
    deleteLater();
}

void CDlgZwaveEdit::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        Close();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
            return;
        }
        OnOk();
        return;
    default:
        CToolDialog::keyPressEvent(event);
        return;
    }
}

} // namespace orvex
