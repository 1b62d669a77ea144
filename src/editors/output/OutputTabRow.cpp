#include "editors/output/OutputTabRow.h"

#include "widgets/ControlFonts.h"
#include "widgets/GdipButton.h"
#include "shell/Language.h"

#include <QHBoxLayout>

#include <algorithm>
#include <iterator>

namespace orvex {

namespace {

struct TabSpec {
    int id;
    PageKind kind;
    int channel; // the output channel of a channel button, -1 for a sibling page
    const char* zh;
    const char* en;
};

constexpr TabSpec kTabs[] = {
    {1069, PageKind::Output, 0, "通道1", "CH 1"},       {1072, PageKind::Output, 1, "通道2", "CH 2"},
    {1070, PageKind::Output, 2, "通道3", "CH 3"},       {1071, PageKind::Output, 3, "通道4", "CH 4"},
    {1076, PageKind::Output, 4, "通道5", "CH 5"},       {1077, PageKind::Output, 5, "通道6", "CH 6"},
    {1078, PageKind::Output, 6, "通道7", "CH 7"},       {1079, PageKind::Output, 7, "通道8", "CH 8"},
    {1073, PageKind::Ssvc, -1, "声场定位", "Location"}, {1074, PageKind::Delay, -1, "延时调整", "Delay"},
    {1075, PageKind::Comp, -1, "输出压限", "Comp"},
};

} // namespace

COutputTabRow::COutputTabRow(PageKind shown, int channel, QWidget* parent)
    : QWidget(parent), m_shown(shown), m_channel(std::clamp(channel, 0, 7)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    for (size_t i = 0; i < std::size(kTabs); ++i) {
        const TabSpec& tab = kTabs[i];
        auto* button = new CGdipButton(tab.id, this);
        button->setFixedSize(82, 28);
        button->SetTextColour(Qt::white);
        button->SetTextFont(SongFont(12));
        connect(button, &QAbstractButton::clicked, this, [this, i] {
            if (IsShown(static_cast<int>(i)))
                return;
            emit requested(kTabs[i].kind, kTabs[i].channel);
        });
        m_buttons.push_back(button);
        layout->addWidget(button);
    }
    layout->addStretch(1);
    UpdateImages();
    Relabel();
}

bool COutputTabRow::IsShown(int index) const {
    const TabSpec& tab = kTabs[index];
    if (tab.kind != m_shown)
        return false;
    return tab.kind != PageKind::Output || tab.channel == m_channel;
}

void COutputTabRow::UpdateImages() {
    for (size_t i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->UseAlternateImage(IsShown(static_cast<int>(i)));
}

void COutputTabRow::SetCurrentChannel(int channel) {
    m_channel = std::clamp(channel, 0, 7);
    UpdateImages();
}

void COutputTabRow::Relabel() {
    for (size_t i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setText(Tr2(kTabs[i].zh, kTabs[i].en));
}

CGdipButton* COutputTabRow::Button(int id) const {
    for (CGdipButton* b : m_buttons) {
        if (b->ControlId() == id)
            return b;
    }
    return nullptr;
}

} // namespace orvex
