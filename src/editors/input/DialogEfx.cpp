#include "editors/input/DialogEfx.h"

#include "editors/EqSectionHost.h"
#include "editors/input/EfxTitle.h"
#include "widgets/ControlId.h"
#include "widgets/EqPanel.h"
#include "widgets/GdipButton.h"
#include "model/EqPaths.h"
#include "model/ParameterStore.h"
#include "model/StoreFields.h"
#include "shell/ControlHints.h"
#include "link/DeviceSession.h"
#include "shell/Language.h"
#include "shell/Theme.h"

#include <QResizeEvent>

#include <algorithm>

namespace orvex {

namespace {

struct KindSpec {
    int eqIdentity;
    int bypassSlot;
};

constexpr KindSpec kKinds[CDialogEfx::kKindCount] = {
    {eqid::ReverbA, fields::reverbEqBypassA.slot},
    {eqid::ReverbB, fields::reverbEqBypassB.slot},
    {eqid::EchoA, fields::echoEqBypassA.slot},
    {eqid::EchoB, fields::echoEqBypassB.slot},
};

constexpr int kBandCount = 7;
constexpr int kTypeColumnWidth = 55;
const QColor kGridText{0, 200, 255};
const QColor kGridBackground{20, 20, 20};

// Placement: the title sits in the top-left, the back button 2 px from the top and right edges, and
// the equaliser takes everything below.
constexpr int kMargin = 10;
constexpr int kTitleTop = 8;
constexpr int kBackEdge = 2;
constexpr QSize kBackSize{82, 28};
constexpr int kSectionGap = 10;

} // namespace

CDialogEfx::CDialogEfx(DeviceSession& session, QWidget* parent) : CPage(PageKind::Efx, parent), m_session(session) {
    UsePageBackground(this);

    m_title = new CEfxTitle(this);
    SetHint(m_title, "正在编辑的效果均衡", "The effect equaliser being edited");

    m_back = new CGdipButton(kBackButtonId, this);
    m_back->setFixedSize(kBackSize);
    m_back->setFocusPolicy(Qt::TabFocus);
    connect(m_back, &QAbstractButton::clicked, this, [this] { emit pageRequested(PageKind::Music, -1); });

    m_section = new CEqSection(session.Store(), session.Eq(), EqSectionHost(), kTypeColumnWidth, this);
    m_section->SetGridColours(kGridText, kGridBackground);

    setTabOrder(m_back, m_section->Panel());

    // A page made by the view is told its kind before it is shown; until then it shows kind 0.
    SetEfxKind(0);
    PlaceChildren();
}

int CDialogEfx::EqIdentityOfKind(int kind) {
    return kKinds[std::clamp(kind, 0, kKindCount - 1)].eqIdentity;
}

void CDialogEfx::SetEfxKind(int kind) {
    m_kind = std::clamp(kind, 0, kKindCount - 1);
    // A switch reads like a fresh page: the new title, nothing selected, the texts, the new bands.
    m_section->ClearSelection();
    Relabel();
    RefreshFromStore();
}

void CDialogEfx::Relabel() {
    CPage::Relabel();
    m_back->setText(Tr2("返回", "Back"));
    m_section->Retranslate();
    m_title->Load(m_kind);
    PlaceChildren();
}

void CDialogEfx::RefreshFromStore() {
    m_title->Load(m_kind);
    // ShowPath loads the seven bands afresh (types outside 0..5 shown as off); another kind's path
    // starts with no band picked.
    m_section->ShowPath(EqIdentityOfKind(m_kind));
    m_section->SetBypass(m_session.Store().GetSlotWord(EqBypassSlot()) != 0);
    PlaceChildren();
}

int CDialogEfx::EqBypassSlot() const {
    return kKinds[m_kind].bypassSlot;
}

void CDialogEfx::ResetEq() {
    m_section->ResetPath();
    m_section->ClearSelection();
    RefreshFromStore();
}

void CDialogEfx::SelectEqBand(int band) {
    if (band < 1 || band > kBandCount)
        return;
    m_section->SelectBand(band - 1);
}

void CDialogEfx::resizeEvent(QResizeEvent* event) {
    CPage::resizeEvent(event);
    PlaceChildren();
}

void CDialogEfx::PlaceChildren() {
    const QSize title = m_title->sizeHint();
    m_title->setGeometry(QRect(QPoint(kMargin, kTitleTop), title));
    m_back->move(width() - kBackEdge - m_back->width(), kBackEdge);
    const int top = std::max(kTitleTop + title.height(), kBackEdge + m_back->height()) + kSectionGap;
    m_section->setGeometry(kMargin, top, std::max(0, width() - 2 * kMargin), std::max(0, height() - top - kMargin));
}

} // namespace orvex
