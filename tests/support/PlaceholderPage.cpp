#include "support/PlaceholderPage.h"

#include "model/StoreFields.h"
#include "shell/ControlIds.h"
#include "shell/Language.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace orvex {

namespace {
// The channel and section buttons of the output family: control id, target page, channel.
struct SectionButton {
    int id;
    PageKind kind;
    int channel;
    const char* zh;
    const char* en;
};

constexpr std::array<SectionButton, 11> kSectionButtons = {{
    {1069, PageKind::Output, 0, "输出1", "Out 1"},
    {1072, PageKind::Output, 1, "输出2", "Out 2"},
    {1070, PageKind::Output, 2, "输出3", "Out 3"},
    {1071, PageKind::Output, 3, "输出4", "Out 4"},
    {1076, PageKind::Output, 4, "输出5", "Out 5"},
    {1077, PageKind::Output, 5, "输出6", "Out 6"},
    {1078, PageKind::Output, 6, "输出7", "Out 7"},
    {1079, PageKind::Output, 7, "输出8", "Out 8"},
    {1073, PageKind::Ssvc, 0, "环绕音量", "Surround"},
    {1074, PageKind::Delay, 0, "延时", "Delay"},
    {1075, PageKind::Comp, 0, "压限", "Compressor"},
}};

bool IsOutputFamily(PageKind kind) {
    return kind == PageKind::Output || kind == PageKind::Delay || kind == PageKind::Ssvc || kind == PageKind::Comp;
}

// Buttons of the input pages without an id in the tables: they only move between the two pages.
constexpr int kOpenEfxId = 9001;
constexpr int kBackToMusicId = 9002;
} // namespace

CPlaceholderPage::CPlaceholderPage(PageKind kind, QWidget* parent) : CPage(kind, parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 16, 24, 16);
    layout->setSpacing(10);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    layout->addLayout(buttons);
    auto add = [&](int id, const char* zh, const char* en, std::function<void()> action) {
        AddButton(id, zh, en, std::move(action));
        buttons->addWidget(m_buttons.back().button);
    };
    if (IsOutputFamily(kind)) {
        for (const SectionButton& b : kSectionButtons)
            add(b.id, b.zh, b.en, [this, b] { emit pageRequested(b.kind, b.channel); });
    } else if (kind == PageKind::Music) {
        add(kOpenEfxId, "效果均衡", "Effects EQ", [this] { emit pageRequested(PageKind::Efx, 0); });
    } else {
        add(kBackToMusicId, "返回", "Back", [this] { emit pageRequested(PageKind::Music, -1); });
    }
    buttons->addStretch(1);

    layout->addStretch(2);
    m_title = new QLabel(this);
    m_title->setAlignment(Qt::AlignCenter);
    QFont titleFont = m_title->font();
    titleFont.setPixelSize(30);
    titleFont.setWeight(QFont::DemiBold);
    m_title->setFont(titleFont);
    m_title->setStyleSheet(QStringLiteral("color: #2c5d99;"));
    layout->addWidget(m_title);
    m_note = new QLabel(this);
    m_note->setAlignment(Qt::AlignCenter);
    m_note->setStyleSheet(QStringLiteral("color: #7890a8;"));
    layout->addWidget(m_note);
    layout->addStretch(3);

    Relabel();
}

void CPlaceholderPage::AddButton(int id, const char* zh, const char* en, std::function<void()> action) {
    auto* button = new QPushButton(Tr2(zh, en), this);
    SetCtrlId(button, id);
    button->setMinimumWidth(72);
    connect(button, &QPushButton::clicked, this, std::move(action));
    m_buttons.push_back({button, zh, en});
}

QString CPlaceholderPage::Title() const {
    switch (Kind()) {
    case PageKind::Music:
        return Tr2("话筒 / 音乐", "Mic / Music");
    case PageKind::Efx:
        return Tr2("效果均衡", "Effects EQ");
    case PageKind::Output:
        return Tr2("输出通道 %1", "Output channel %1").arg(m_channel + 1);
    case PageKind::Delay:
        return Tr2("喇叭延时", "Speaker delay");
    case PageKind::Ssvc:
        return Tr2("环绕音量", "Surround volume");
    case PageKind::Comp:
        return Tr2("压限器", "Compressor");
    }
    return {};
}

void CPlaceholderPage::Relabel() {
    for (const TextPair& pair : m_buttons)
        pair.button->setText(Tr2(pair.zh, pair.en));
    // The tables' texts win where they have an entry.
    CPage::Relabel();
    m_title->setText(Title());
    m_note->setText(Tr2("此页面尚在制作中", "This page is still being built"));
}

void CPlaceholderPage::RefreshFromStore() {
    ++m_refreshes;
    m_title->setText(Title());
}

int CPlaceholderPage::EqBypassSlot() const {
    // What the real pages show first: mic channel A, the channel A reverb, the shown output channel.
    switch (Kind()) {
    case PageKind::Music:
        return fields::micEqBypassA.slot;
    case PageKind::Efx:
        return fields::reverbEqBypassA.slot;
    case PageKind::Output:
        return fields::outEqBypass.slot + m_channel;
    default:
        return -1;
    }
}

void CPlaceholderPage::SetOutputChannel(int channel) {
    m_channel = std::clamp(channel, 0, 7);
    m_title->setText(Title());
}

} // namespace orvex
