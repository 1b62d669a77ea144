#include "smarthome/RemoteDlg.h"

#include "link/CommandEncoder.h"
#include "model/ParameterStore.h"
#include "model/RemoteFile.h"
#include "shell/ControlIds.h"
#include "link/DeviceSession.h"
#include "shell/Language.h"
#include "shell/MessageBoxes.h"
#include "shell/Theme.h"
#include "smarthome/RemoteHotSpot.h"
#include "smarthome/RemotePicture.h"
#include "smarthome/RemoteStudyDlg.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvex {

namespace {

constexpr int kInfoMs = 1100;

struct RemoteFunction {
    int controlId;
    const char* zh;
    const char* en;
    const char* nameZh; // the key's tool tip
    const char* nameEn;
};

// Function n is row n - 1.
constexpr RemoteFunction kFunctions[] = {
    {1587, "您正在学习的键：启动/待机", "Learning key:Power key", "启动/待机", "Power"},
    {1600, "您正在学习的键：降调", "Learning key: Pitch-", "降调", "Pitch-"},
    {1601, "您正在学习的键：升调", "Learning key: Pitch+ ", "升调", "Pitch+"},
    {1602, "您正在学习的键：M1/方向上", "Learning key: M1/Up ", "M1/方向上", "M1/Up"},
    {1603, "您正在学习的键：M4/方向下", "Learning key:M4/Down ", "M4/方向下", "M4/Down"},
    {1604, "您正在学习的键：M3/方向左", "Learning key: M3/Left ", "M3/方向左", "M3/Left"},
    {1605, "您正在学习的键：M2/方向右", "Learning key: M2/Right ", "M2/方向右", "M2/Right"},
    {1606, "您正在学习的键：确认键/原调", "Learning key: OK/Original Pitch key", "确认键/原调", "OK/Original pitch"},
    {1607, "您正在学习的键：进入视频菜单", "Learning key:  Enter video menu", "进入视频菜单", "Enter video menu"},
    {1608, "您正在学习的键：静音键", "Learning key:  Mute ", "静音", "Mute"},
    {1609, "您正在学习的键：退出视频菜单", "Learning key: Esc video menu ", "退出视频菜单", "Esc video menu"},
    {1610, "您正在学习的键：增大话筒音量", "Learning key: Mic vol increase", "增大话筒音量", "Mic vol increase"},
    {1611, "您正在学习的键：减小话筒音量", "Learning key:Mic vol decrease", "减小话筒音量", "Mic vol decrease"},
    {1612, "您正在学习的键：增大效果音量", "Learning key: Effect vol increase", "增大效果音量", "Effect vol increase"},
    {1613, "您正在学习的键：减小效果音量", "Learning key: Effect vol decrease", "减小效果音量", "Effect vol decrease"},
    {1614, "您正在学习的键：增大音乐音量", "Learning key: Music vol increase", "增大音乐音量", "Music vol increase"},
    {1615, "您正在学习的键：减小音乐音量", "Learning key: Music vol decrease", "减小音乐音量", "Music vol decrease"},
};
static_assert(std::size(kFunctions) == 17);

QString HelpText() {
    return Tr2("<b>遥控学习步骤</b><ol style='margin-left:-18px'>"
               "<li>点击左侧遥控器图上要学习的按键；</li>"
               "<li>将您的遥控器对准机器的红外接收窗口，按下对应的按键；</li>"
               "<li>学到键码后学习窗口自动关闭，可继续学习下一个按键；</li>"
               "<li>全部学完后点击“应用参数”，键码表即发送到机器。</li></ol>"
               "键码表可以用“保存参数”存为遥控文件（*.remo），以后用“载入参数”恢复。",
               "<b>Teaching the remote</b><ol style='margin-left:-18px'>"
               "<li>Click the key to learn on the remote at the left.</li>"
               "<li>Aim your remote at the processor's infrared window and press the matching key.</li>"
               "<li>The learning window closes by itself once the code is in; go on with the next key.</li>"
               "<li>When all keys are learnt, click Apply to send the code table to the processor.</li></ol>"
               "Save file keeps the code table in a remote data file (*.remo); Load file brings it back.");
}

// The chosen name with the remote data file's extension, whatever extension was typed.
QString WithRemoExtension(const QString& path) {
    const QFileInfo info(path);
    const QString base = info.suffix().isEmpty() ? info.fileName() : info.completeBaseName();
    return QDir(info.path()).filePath(base + QStringLiteral(".remo"));
}

FileDialogRequest RemoteFileRequest(bool save) {
    return {save, QString(), save ? QStringLiteral("name.remo") : QString(),
            Tr2("遥控数据文件(*.remo)", "Remote Data File(*.remo)"), QStringLiteral("remo")};
}

} // namespace

CRemoteDlg::CRemoteDlg(const PageContext& ctx, QWidget* parent) : CToolDialog(tmpl::Remote, parent), m_ctx(ctx) {
    setWindowTitle(QString::fromUtf8("遥控学习"));
    UsePageBackground(this);

    m_picture = new CRemotePicture(this);
    connect(m_picture, &CRemotePicture::hotSpotClicked, this, &CRemoteDlg::OnHotSpot);

    m_help = new QLabel(this);
    SetCtrlId(m_help, kHelpId);
    m_help->setWordWrap(true);
    m_help->setTextFormat(Qt::RichText);
    m_help->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_help->setFixedWidth(300);
    m_help->setObjectName(QStringLiteral("RemoteHelp"));
    m_help->setStyleSheet(QStringLiteral("#RemoteHelp { background: #ffffff; color: #1d2f44; border: 1px solid #b9cfe3;"
                                         " border-radius: 8px; padding: 12px 14px; }"));

    auto* apply = new QPushButton(QString::fromUtf8("应用参数"), this);
    SetCtrlId(apply, kApplyId);
    auto* load = new QPushButton(QString::fromUtf8("载入参数"), this);
    SetCtrlId(load, kLoadId);
    auto* save = new QPushButton(QString::fromUtf8("保存参数"), this);
    SetCtrlId(save, kSaveId);
    for (QPushButton* button : {apply, load, save}) {
        button->setMinimumHeight(30);
        button->setAutoDefault(false);
    }
    connect(apply, &QPushButton::clicked, this, &CRemoteDlg::OnApply);
    connect(load, &QPushButton::clicked, this, &CRemoteDlg::OnLoadFile);
    connect(save, &QPushButton::clicked, this, &CRemoteDlg::OnSaveFile);

    auto* side = new QVBoxLayout;
    side->setSpacing(10);
    side->addWidget(m_help);
    side->addStretch();
    side->addWidget(apply);
    side->addWidget(load);
    side->addWidget(save);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 14, 18, 16);
    layout->setSpacing(18);
    layout->addWidget(m_picture, 1);
    layout->addLayout(side);

    // The keys of the picture first, then the buttons.
    setTabOrder(m_picture->HotSpots().back(), apply);
    setTabOrder(apply, load);
    setTabOrder(load, save);

    // Level replies would only get in the way of the learn reports while the window is open.
    m_levelPollWasOn = m_ctx.session.State().levelPollEnabled.exchange(0) != 0;
    Relabel();
}

CRemoteDlg::~CRemoteDlg() {
    // The window going with a learning still open (a device arrived, the program ends) gives it up.
    if (m_study && m_study->isVisible() && !m_study->Learned())
        m_ctx.session.Commands().StopRemoteLearning();
    if (m_levelPollWasOn)
        m_ctx.session.State().levelPollEnabled.store(1);
}

int CRemoteDlg::FunctionOf(int controlId) {
    for (size_t i = 0; i < std::size(kFunctions); ++i) {
        if (kFunctions[i].controlId == controlId)
            return static_cast<int>(i) + 1;
    }
    return 0;
}

QString CRemoteDlg::LearnPrompt(int function) {
    if (function < 1 || function > static_cast<int>(std::size(kFunctions)))
        return {};
    const RemoteFunction& f = kFunctions[function - 1];
    return Tr2(f.zh, f.en);
}

void CRemoteDlg::Relabel() {
    CToolDialog::Relabel();
    m_help->setText(HelpText());
    ShowLearnedKeys();
    if (m_study)
        m_study->Relabel();
}

void CRemoteDlg::ShowLearnedKeys() {
    const RemoteKeyRecord table = m_ctx.session.Store().GetRemoteKeyRecord();
    for (CRemoteHotSpot* spot : m_picture->HotSpots()) {
        const int function = FunctionOf(spot->ControlId());
        // Byte n holds the code of function n; a processor that never learned it holds 00 (or FF
        // from a blank memory).
        const uint8_t code = function > 0 ? table[static_cast<size_t>(function)] : 0;
        const bool learned = code != 0x00 && code != 0xFF;
        spot->SetLearned(learned);
        QString name = function > 0 ? Tr2(kFunctions[function - 1].nameZh, kFunctions[function - 1].nameEn)
                                    : Tr2("不支持该功能", "No support!");
        if (learned)
            name += Tr2("（已学习，键码 %1）", " (learned, code %1)").arg(QString::asprintf("%02X", code));
        spot->setToolTip(name);
        spot->setAccessibleName(name);
    }
}

void CRemoteDlg::OnHotSpot(int controlId) {
    if (controlId == kNotSupportedId) {
        ShowInformationBox(this, Tr2("不支持该功能", "No support!"), Tr2("提示", "Information"));
        return;
    }
    const int function = FunctionOf(controlId);
    if (function == 0 || (m_study && m_study->isVisible()))
        return;
    m_ctx.session.Commands().StartRemoteLearning(static_cast<uint8_t>(function));
    m_study = new CRemoteStudyDlg(m_ctx.session, LearnPrompt(function), this);
    connect(m_study, &QDialog::finished, m_study, &QObject::deleteLater);
    // Modal without a nested event loop: the learned code arrives through the view meanwhile.
    m_study->setWindowModality(Qt::ApplicationModal);
    m_study->open();
}

void CRemoteDlg::OnRemoteKey(uint32_t keyCode) {
    if (m_study && m_study->isVisible() && !m_study->Learned())
        m_study->ShowCode(static_cast<uint8_t>(keyCode));
    ShowLearnedKeys(); // the report has already put the code into the table
}

void CRemoteDlg::OnApply() {
    m_ctx.session.Commands().WriteRemoteKeys();
    m_ctx.display.ShowInfoMessage(Tr2("遥控器键码保存成功!", "Save successed !"), kInfoMs);
}

void CRemoteDlg::OnLoadFile() {
    DeviceSession& session = m_ctx.session;
    if (!session.IsConnected()) {
        m_ctx.display.ShowInfoMessage(Tr2("请先连接机器再进行此操作!", "Connect the processor first!"), kInfoMs);
        return;
    }
    QString path = AskFileName(this, RemoteFileRequest(false));
    if (path.isEmpty())
        return;
    path = WithRemoExtension(path);
    RemoteKeyRecord table = session.Store().GetRemoteKeyRecord();
    const RemoteFileResult result = LoadRemoteFile(path.toStdString(), table);
    if (!result.ok()) {
        if (result.status == RemoteFileStatus::TooShort)
            ShowMessageBox(this, {QMessageBox::Warning, Tr2("遥控文件无效", "Not a remote data file"),
                                  Tr2("该文件不足18字节，不是遥控文件：\n%1",
                                      "The file holds fewer than 18 bytes and is not a remote data file:\n%1")
                                      .arg(QDir::toNativeSeparators(path)),
                                  QMessageBox::Ok});
        else
            ShowMessageBox(this, {QMessageBox::Warning, Tr2("无法写入文件", "Can't write to file"),
                                  Tr2("无法写入文件：\n%1\n文件可能被写保护。",
                                      "Can't write to file:\n%1\nProbaby it is write protected.")
                                      .arg(QDir::toNativeSeparators(path)),
                                  QMessageBox::Ok});
        m_ctx.display.ShowInfoMessage(Tr2("载入遥控文件失败", "Loading the remote file failed"), kInfoMs);
        return;
    }
    session.Store().SetRemoteKeyRecord(table);
    session.Commands().WriteRemoteKeys();
    ShowLearnedKeys();
    m_ctx.display.ShowInfoMessage(Tr2("载入遥控文件成功", "Remote file loaded"), kInfoMs);
}

void CRemoteDlg::OnSaveFile() {
    DeviceSession& session = m_ctx.session;
    if (!session.IsConnected()) {
        m_ctx.display.ShowInfoMessage(Tr2("请先连接机器再进行此操作!", "Connect the processor first!"), kInfoMs);
        return;
    }
    QString path = AskFileName(this, RemoteFileRequest(true));
    if (path.isEmpty())
        return;
    path = WithRemoExtension(path);
    const RemoteFileResult result = SaveRemoteFile(path.toStdString(), session.Store().GetRemoteKeyRecord());
    if (!result.ok()) {
        ShowMessageBox(this, {QMessageBox::Warning, Tr2("无法写入文件", "Can't write to file"),
                              Tr2("错误码=%1，无法写入文件：\n%2\n文件可能被写保护。",
                                  "Errcode=%1,Can't write to file:\n%2\nProbaby it is write protected.")
                                  .arg(result.errorCode)
                                  .arg(QDir::toNativeSeparators(path)),
                              QMessageBox::Ok});
        m_ctx.display.ShowInfoMessage(Tr2("保存遥控文件失败", "Saving the remote file failed"), kInfoMs);
        return;
    }
    m_ctx.display.ShowInfoMessage(Tr2("保存遥控文件成功", "Remote file saved"), kInfoMs);
}

void CRemoteDlg::reject() {
    close();
}

void CRemoteDlg::closeEvent(QCloseEvent* event) {
    event->accept();
    deleteLater();
}

} // namespace orvex
