#include "widgets/EqPanel.h"

#include "widgets/ControlFonts.h"
#include "widgets/EqOverlay.h"
#include "widgets/UiLanguage.h"
#include "model/EqPaths.h"
#include "model/FilterText.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace orvex {

namespace {

// Set by start-up to -1 and shared by every page, so a path copied on one page pastes on another.
int g_nEqClipboard = -1;

constexpr double kAxisMinHz = kMainPanelMinHz;
constexpr double kAxisMaxHz = kMainPanelMaxHz;
constexpr double kAxisTopDb = 15.0;
constexpr double kAxisSpanDb = 30.0;

// Plot insets from the client rectangle.
constexpr int kInsetLeft = 36;
constexpr int kInsetTop = 18;
constexpr int kInsetRight = 6;
constexpr int kInsetBottom = 20;

// Hit radii: left press, right press and hover.
constexpr float kLeftHitRadius = 10.0f;
constexpr float kWideHitRadius = 16.0f;

const QColor kBackground(20, 20, 20);
const QColor kGridPen(64, 64, 64);
const QColor kGridLabel(128, 128, 128);
const QColor kTotalCurve(0, 200, 255);
const QColor kLabelText(180, 180, 180);
const QColor kMeasuredCurve(255, 140, 0);
const QColor kPredictedCurve(255, 255, 255);
const QColor kTargetCurve(150, 150, 150);
const QColor kProposalCurve(255, 80, 200);
const QColor kValueText(16, 255, 16);

constexpr std::array<QRgb, 35> kPalette = {
    qRgb(250, 100, 180), qRgb(255, 80, 255),  qRgb(80, 80, 255),   qRgb(80, 255, 100),  qRgb(255, 255, 100),
    qRgb(255, 100, 100), qRgb(255, 180, 20),  qRgb(255, 100, 180), qRgb(180, 100, 255), qRgb(140, 180, 255),
    qRgb(20, 180, 255),  qRgb(80, 255, 255),  qRgb(40, 255, 160),  qRgb(20, 90, 250),   qRgb(80, 255, 255),
    qRgb(255, 255, 20),  qRgb(80, 100, 255),  qRgb(20, 255, 80),   qRgb(80, 255, 40),   qRgb(180, 255, 20),
    qRgb(255, 80, 255),  qRgb(80, 120, 250),  qRgb(250, 250, 250), qRgb(250, 100, 123), qRgb(123, 80, 255),
    qRgb(80, 80, 123),   qRgb(123, 255, 100), qRgb(255, 123, 100), qRgb(123, 100, 100), qRgb(250, 100, 123),
    qRgb(123, 80, 255),  qRgb(80, 80, 123),   qRgb(123, 255, 100), qRgb(255, 123, 100), qRgb(123, 100, 100)};

constexpr std::array<double, 30> kGridHz = {18,   20,   30,   40,   50,   60,   70,   80,    90,    100,
                                            200,  300,  400,  500,  600,  700,  800,  900,   1000,  2000,
                                            3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 20000, 23000};

struct AxisLabel {
    double hz;
    const char* text;
};
constexpr std::array<AxisLabel, 10> kHzLabels = {{{20, "20Hz"},
                                                  {50, "50Hz"},
                                                  {100, "100Hz"},
                                                  {200, "200Hz"},
                                                  {500, "500Hz"},
                                                  {1000, "1kHz"},
                                                  {2000, "2kHz"},
                                                  {5000, "5kHz"},
                                                  {10000, "10kHz"},
                                                  {20000, "20kHz"}}};

bool IsLowPassKind(int code) {
    return code >= 2 && code <= 20 && code % 2 == 0;
}

bool IsHighPassKind(int code) {
    return code >= 3 && code <= 21 && code % 2 != 0;
}

float QLimitFor(int code) {
    return static_cast<float>(BandQLimit(code));
}

QColor WithAlpha(QColor c, int alpha) {
    c.setAlpha(alpha);
    return c;
}

// Held within a range the drawing arithmetic handles well; beyond it the curve is clipped anyway.
double DrawableDb(float db) {
    if (!std::isfinite(db)) {
        return db > 0 ? 60.0 : -60.0;
    }
    return std::clamp(static_cast<double>(db), -60.0, 60.0);
}

} // namespace

QColor EqBandColour(int index) {
    return QColor::fromRgb(kPalette[static_cast<size_t>(std::clamp(index, 0, static_cast<int>(kPalette.size()) - 1))]);
}

int CEqPanel::EqClipboard() {
    return g_nEqClipboard;
}

void CEqPanel::SetEqClipboard(int eqIdentity) {
    g_nEqClipboard = eqIdentity;
}

void HandleEqCopyPaste(int action, int eqIdentity, const std::function<void(int, int)>& copyPath,
                       const std::function<void()>& reload) {
    if (action == CEqPanel::kCopyAction) {
        CEqPanel::SetEqClipboard(eqIdentity);
        return;
    }
    if (action != CEqPanel::kPasteAction) {
        return;
    }
    const int source = CEqPanel::EqClipboard();
    if (source != -1 && copyPath) {
        copyPath(source, eqIdentity);
    }
    if (reload) {
        reload();
    }
}

QColor CEqPanel::OverlayColour(OverlayCurve curve) {
    switch (curve) {
    case OverlayCurve::Measured:
        return kMeasuredCurve;
    case OverlayCurve::Predicted:
        return kPredictedCurve;
    case OverlayCurve::Target:
        return kTargetCurve;
    case OverlayCurve::Proposal:
        return kProposalCurve;
    }
    return kPredictedCurve;
}

CEqPanel::CEqPanel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setMinimumSize(240, 140);
    for (int i = 0; i < kEqPanelSlots; ++i) {
        m_extras[static_cast<size_t>(i)].index = i;
    }
    connect(&CEqOverlays::Instance(), &CEqOverlays::changed, this, [this](int identity) {
        if (identity == m_eqIdentity) {
            RefreshOverlay();
            update();
        }
    });
}

CEqPanel::~CEqPanel() = default;

void CEqPanel::SetEqIdentity(int eqIdentity) {
    m_eqIdentity = eqIdentity;
    m_staticKey.clear();
    RefreshOverlay();
    update();
}

void CEqPanel::RefreshOverlay() {
    const EqOverlay* overlay = CEqOverlays::Instance().Find(m_eqIdentity);
    const CurveAxis axis = Axis();
    ++m_overlayGeneration;
    m_overlay.shown = overlay != nullptr && !overlay->measurement.Empty() && axis.widthPx > 0;
    if (!m_overlay.shown) {
        m_overlay.proposal = false;
        return;
    }
    const Measurement& m = overlay->measurement;
    const double lo = m.freqHz.front();
    const double hi = m.freqHz.back();
    m_overlay.targetFromFile = !overlay->target.Empty();
    for (int i = 0; i < kCurvePoints; ++i) {
        const double f = CurveGridFrequency(i, axis);
        const auto at = static_cast<size_t>(i);
        m_overlay.measured[at] =
            f < lo || f > hi ? std::numeric_limits<float>::quiet_NaN() : static_cast<float>(InterpolateLevelDb(m, f));
        m_overlay.target[at] =
            m_overlay.targetFromFile ? static_cast<float>(InterpolateLevelDb(overlay->target, f)) : 0.0f;
    }
    m_overlay.proposal = overlay->proposal.has_value();
    if (m_overlay.proposal) {
        m_overlay.proposalEq.fill(0.0f);
        for (const EqBand& band : *overlay->proposal) {
            CurveBand curve = CurveBandFromEqBand(band);
            if (!ComputeBandCurve(curve, axis)) {
                continue;
            }
            for (size_t i = 0; i < curve.curve.size(); ++i) {
                m_overlay.proposalEq[i] += curve.curve[i];
            }
        }
    }
}

BandCurve CEqPanel::PredictedCurve() const {
    BandCurve predicted = m_overlay.measured;
    if (!m_bypass) {
        const BandCurve total = TotalCurve();
        for (size_t i = 0; i < predicted.size(); ++i) {
            predicted[i] += total[i];
        }
    }
    return predicted;
}

bool CEqPanel::IsOutputPath() const {
    return IsOutputEqIdentity(m_eqIdentity);
}

QString CEqPanel::Title() const {
    static constexpr std::array<std::pair<const char*, const char*>, 7> kTitles = {{{"话筒A均衡", "Mic A EQ"},
                                                                                    {"话筒B均衡", "Mic B EQ"},
                                                                                    {"混响A均衡", "Reverb A EQ"},
                                                                                    {"混响B均衡", "Reverb B EQ"},
                                                                                    {"回声A均衡", "Echo A EQ"},
                                                                                    {"回声B均衡", "Echo B EQ"},
                                                                                    {"音乐均衡", "Music EQ"}}};
    if (m_eqIdentity >= 0 && m_eqIdentity < static_cast<int>(kTitles.size())) {
        const auto& t = kTitles[static_cast<size_t>(m_eqIdentity)];
        return UiText(t.first, t.second);
    }
    if (IsOutputPath()) {
        const int channel = m_eqIdentity - eqid::FirstOutput + 1;
        return UiLanguageIndex() == 0 ? QStringLiteral("通道%1均衡").arg(channel)
                                      : QStringLiteral("CH%1 EQ").arg(channel);
    }
    return {};
}

void CEqPanel::SetBandCount(int count) {
    count = std::clamp(count, 0, kEqPanelSlots);
    m_bandCount = count;
    auto standard = [this](size_t bands) {
        for (size_t i = 0; i < bands; ++i) {
            m_bands[i].freqHz = static_cast<float>(kOctaveBandHz[i]);
            m_bands[i].type = eqtype::Peaking;
            m_bands[i].q = 1.41f;
        }
    };
    if (count == 7) {
        standard(7);
    } else if (count == 10) {
        standard(10);
    }
    for (int i = 0; i < count; ++i) {
        m_extras[static_cast<size_t>(i)].index = i;
        m_bands[static_cast<size_t>(i)].gainDb = 0.0f;
    }
    RecomputeAll();
    update();
}

void CEqPanel::BeginLoad() {
    m_loading = true;
}

void CEqPanel::EndLoad() {
    if (!m_loading)
        return;
    m_loading = false;
    const CurveAxis axis = Axis();
    for (size_t i = 0; i < m_bands.size(); ++i) {
        if (m_staleCurves.test(i))
            ComputeBandCurve(m_bands[i], axis);
    }
    m_staleCurves.reset();
    update();
}

int CEqPanel::VisibleBandCount() const {
    return IsOutputPath() ? std::min(m_bandCount, kOutputCrossoverBand + 1) : m_bandCount;
}

CurveAxis CEqPanel::Axis() const {
    return MainPanelAxis(PlotRect().width());
}

void CEqPanel::Recompute(int index) {
    if (m_loading) {
        if (ShareCrossoverPoint(std::span<CurveBand>(m_bands), index, m_eqIdentity)) {
            for (int h = kOutputFirstHiddenBand; h <= kOutputLastHiddenBand; ++h)
                m_staleCurves.set(static_cast<size_t>(h));
        }
        m_staleCurves.set(static_cast<size_t>(index));
    } else {
        ComputePathBandCurve(std::span<CurveBand>(m_bands), index, m_eqIdentity, Axis());
    }
    // The marker follows at once, so a page reading the record between paints sees where it is.
    UpdateMarker(index);
}

void CEqPanel::RecomputeAll() {
    if (m_loading) {
        for (int i = 0; i < m_bandCount; ++i) {
            m_staleCurves.set(static_cast<size_t>(i));
            UpdateMarker(i);
        }
        return;
    }
    const CurveAxis axis = Axis();
    for (int i = 0; i < m_bandCount; ++i) {
        ComputeBandCurve(m_bands[static_cast<size_t>(i)], axis);
        UpdateMarker(i);
    }
}

void CEqPanel::SetBandType(int index, int code) {
    if (!IsLive(index)) {
        return;
    }
    CurveBand& b = m_bands[static_cast<size_t>(index)];
    b.type = code;
    if (code == eqtype::Peaking) {
        b.q = 1.41f;
    } else if (code >= eqtype::LowPass && code <= eqtype::HighShelf) {
        SetBandGain(index, 0.0f);
        b.q = 0.7f;
    }
    Recompute(index);
    update();
}

void CEqPanel::SetBandGain(int index, float gainDb) {
    if (!IsLive(index)) {
        return;
    }
    CurveBand& b = m_bands[static_cast<size_t>(index)];
    b.gainDb = gainDb;
    // An off band keeps the gain it is given; it is not drawn or sent.
    if (b.type != eqtype::Off && !BandGainEditable(b.type)) {
        b.gainDb = 0.0f;
    }
    // A non-number typed or sent in would otherwise survive every clamp.
    if (!std::isfinite(b.gainDb)) {
        b.gainDb = 0.0f;
    }
    b.gainDb = std::clamp(b.gainDb, m_gainClampMin, m_gainClampMax);
    Recompute(index);
    update();
}

void CEqPanel::SetBandQ(int index, float q) {
    if (!IsLive(index) || !(std::fabs(q) >= 1e-7f)) {
        return;
    }
    CurveBand& b = m_bands[static_cast<size_t>(index)];
    b.q = std::clamp(q, kMinQ, QLimitFor(b.type));
    Recompute(index);
    update();
}

void CEqPanel::SetBandFrequency(int index, float hz) {
    if (!IsLive(index) || !std::isfinite(hz)) {
        return;
    }
    const BandExtras& e = m_extras[static_cast<size_t>(index)];
    m_bands[static_cast<size_t>(index)].freqHz = std::clamp(hz, e.freqMin, e.freqMax);
    Recompute(index);
    update();
}

void CEqPanel::SetBandTypeFromMenu(int index, int menuType) {
    if (!IsLive(index) || menuType < eqtype::Peaking || menuType > eqtype::HighShelf) {
        return;
    }
    if (!IsOutputPath()) {
        SetBandType(index, menuType);
        return;
    }
    m_bands[static_cast<size_t>(index)].gainDb = 0.0f;
    if (index == kOutputCrossoverBand) {
        // The crossover band's choice is realised on all four of its sections.
        AssignCrossoverSections(std::span<CurveBand>(m_bands), *ExpandCrossoverMenuType(menuType), Axis());
        update();
        return;
    }
    SetBandType(index, menuType);
}

void CEqPanel::SetCrossoverFamily(int index, int listIndex) {
    if (index != kOutputCrossoverBand) {
        return;
    }
    ApplyCrossoverFamily(std::span<CurveBand>(m_bands), listIndex, Axis());
    update();
}

void CEqPanel::LoadBand(int index, const EqBand& band) {
    if (!IsLive(index)) {
        return;
    }
    CurveBand& b = m_bands[static_cast<size_t>(index)];
    b.type = band.type;
    b.freqHz = static_cast<float>(band.freqHz);
    b.gainDb = band.gainDb;
    b.q = band.q;
    Recompute(index);
    update();
}

void CEqPanel::ResetBandRecord(int index) {
    if (!IsLive(index)) {
        return;
    }
    m_bands[static_cast<size_t>(index)] = CurveBand{};
    BandExtras fresh;
    fresh.index = index;
    m_extras[static_cast<size_t>(index)] = fresh;
    update();
}

EqPanelBand CEqPanel::Band(int index) const {
    EqPanelBand out;
    if (!IsLive(index)) {
        return out;
    }
    const CurveBand& b = m_bands[static_cast<size_t>(index)];
    const BandExtras& e = m_extras[static_cast<size_t>(index)];
    out.markerX = e.markerX;
    out.markerY = e.markerY;
    out.index = e.index;
    out.type = b.type;
    out.freqHz = b.freqHz;
    out.gainDb = b.gainDb;
    out.q = b.q;
    out.freqMin = e.freqMin;
    out.freqMax = e.freqMax;
    out.gainMin = e.gainMin;
    out.gainMax = e.gainMax;
    return out;
}

const CurveBand& CEqPanel::BandCurveData(int index) const {
    return m_bands[static_cast<size_t>(std::clamp(index, 0, kEqPanelSlots - 1))];
}

BandCurve CEqPanel::TotalCurve() const {
    return SumBandCurves(std::span<const CurveBand>(m_bands), m_bandCount);
}

int CEqPanel::DisplayType(int index) const {
    if (!IsLive(index)) {
        return eqtype::Off;
    }
    if (IsOutputPath() && index == kOutputCrossoverBand) {
        const CrossoverCodes codes = {m_bands[9].type, m_bands[10].type, m_bands[11].type, m_bands[12].type};
        if (const auto match = MatchCrossoverCodes(codes)) {
            return match->menuType;
        }
    }
    return m_bands[static_cast<size_t>(index)].type;
}

void CEqPanel::SetSelectedBand(int index) {
    m_selected = (index >= 0 && index < m_bandCount) ? index : -1;
    update();
}

void CEqPanel::SetBypass(bool bypass) {
    m_bypass = bypass;
    update();
}

QRect CEqPanel::PlotRect() const {
    return rect().adjusted(kInsetLeft, kInsetTop, -kInsetRight, -kInsetBottom);
}

float CEqPanel::YForGain(double gainDb) const {
    const QRect plot = PlotRect();
    return static_cast<float>(plot.top() + (kAxisTopDb - gainDb) * plot.height() / kAxisSpanDb);
}

QPointF CEqPanel::PointFor(double hz, double gainDb) const {
    const QRect plot = PlotRect();
    const double x = plot.left() + plot.width() * std::log10(hz / kAxisMinHz) / std::log10(kAxisMaxHz / kAxisMinHz);
    return {x, YForGain(gainDb)};
}

void CEqPanel::UpdateMarker(int index) {
    const CurveBand& b = m_bands[static_cast<size_t>(index)];
    const QRect plot = PlotRect();
    const QPointF at = PointFor(std::max(1.0f, b.freqHz), b.gainDb);
    BandExtras& e = m_extras[static_cast<size_t>(index)];
    e.markerX = static_cast<float>(at.x() - plot.left());
    e.markerY = static_cast<float>(at.y() - plot.top());
}

int CEqPanel::HitTest(QPointF plotPoint, float radius, bool checkType, bool lastWins) {
    int found = -1;
    for (int i = 0; i < VisibleBandCount(); ++i) {
        UpdateMarker(i);
        const BandExtras& e = m_extras[static_cast<size_t>(i)];
        if (std::fabs(e.markerX - plotPoint.x()) < radius && std::fabs(e.markerY - plotPoint.y()) < radius &&
            (!checkType || m_bands[static_cast<size_t>(i)].type != eqtype::Off)) {
            found = i;
            if (!lastWins) {
                break;
            }
        }
    }
    return found;
}

QSize CEqPanel::sizeHint() const {
    return {640, 300};
}

// ---- Mouse, wheel and keys ---------------------------------------------------------------------------------

void CEqPanel::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint() - PlotRect().topLeft();
    if (event->button() == Qt::LeftButton) {
        if (m_rightDown) {
            return;
        }
        setFocus(Qt::MouseFocusReason);
        m_leftDown = true;
        m_pressPoint = at;
        m_moved = false;
        m_selected = -1;
        m_selected = HitTest(at, kLeftHitRadius, true, false);
        m_pressHit = m_selected >= 0;
        if (m_pressHit) {
            const BandExtras& e = m_extras[static_cast<size_t>(m_selected)];
            m_grabOffset = at - QPoint(static_cast<int>(e.markerX), static_cast<int>(e.markerY));
            emit bandChanged(m_selected);
        }
        update();
    } else if (event->button() == Qt::RightButton) {
        if (m_leftDown) {
            return;
        }
        setFocus(Qt::MouseFocusReason);
        m_rightDown = true;
        m_pressPoint = at;
        m_moved = false;
        m_selected = -1;
        m_selected = HitTest(at, kWideHitRadius, false, false);
        if (m_selected >= 0) {
            m_previousX = at.x();
            emit bandChanged(m_selected);
        }
        update();
    }
}

void CEqPanel::mouseMoveEvent(QMouseEvent* event) {
    const QRect plot = PlotRect();
    const QPoint at = event->position().toPoint() - plot.topLeft();
    if (!m_leftDown && !m_rightDown) {
        const int hover = HitTest(at, kWideHitRadius, true, true);
        if (hover != m_hover) {
            m_hover = hover;
            update();
        }
        return;
    }
    if (std::abs(at.x() - m_pressPoint.x()) > 1 || std::abs(at.y() - m_pressPoint.y()) > 1) {
        m_moved = true;
    }
    if (!m_moved || m_selected < 0) {
        return;
    }
    CurveBand& b = m_bands[static_cast<size_t>(m_selected)];
    const BandExtras& e = m_extras[static_cast<size_t>(m_selected)];
    if (m_leftDown) {
        const double w = std::max(1, plot.width());
        const double h = std::max(1, plot.height());
        // The grab offset keeps the marker under the pointer vertically only; x follows the pointer.
        const double hz = kAxisMinHz * std::pow(10.0, std::log10(kAxisMaxHz / kAxisMinHz) * at.x() / w);
        double gain = 0.0;
        if (BandGainEditable(b.type)) {
            gain = kAxisTopDb - (at.y() - m_grabOffset.y()) / h * kAxisSpanDb;
            gain = std::round(gain * 10.0) / 10.0; // half away from zero
        }
        b.gainDb = std::clamp(static_cast<float>(gain), e.gainMin, e.gainMax);
        b.freqHz = std::clamp(static_cast<float>(hz), e.freqMin, e.freqMax);
        Recompute(m_selected);
        emit bandChanged(m_selected);
        repaint();
    } else {
        // A narrow Q range moves more finely under the pointer.
        const bool narrow = QLimitFor(b.type) < kMaxPeakQ;
        const float dx = static_cast<float>(at.x() - m_previousX);
        b.q = std::clamp(b.q + dx / (narrow ? 80.0f : 12.0f), kMinQ, QLimitFor(b.type));
        m_previousX = at.x();
        Recompute(m_selected);
        emit bandChanged(m_selected);
        update();
    }
}

void CEqPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_leftDown) {
        m_leftDown = false;
        if (!m_pressHit) {
            emit clickEmpty();
        } else if (m_moved) {
            emit bandChanged(m_selected);
        }
        update();
    } else if (event->button() == Qt::RightButton && m_rightDown) {
        m_rightDown = false;
        if (m_selected < 0) {
            PopupMenu(false, event->position().toPoint());
        } else {
            emit bandChanged(m_selected);
            if (!m_moved) {
                PopupMenu(true, event->position().toPoint());
            }
        }
        update();
    } else {
        return;
    }
    emit released();
}

void CEqPanel::mouseDoubleClickEvent(QMouseEvent*) {
    // Deliberately nothing: the second press of a double-click neither selects nor starts a drag.
}

void CEqPanel::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (m_hover != -1) {
        m_hover = -1;
        update();
    }
}

void CEqPanel::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (m_selected < 0 || delta == 0 || !BandGainEditable(m_bands[static_cast<size_t>(m_selected)].type)) {
        event->ignore();
        return;
    }
    CurveBand& b = m_bands[static_cast<size_t>(m_selected)];
    const BandExtras& e = m_extras[static_cast<size_t>(m_selected)];
    b.gainDb = std::clamp(b.gainDb + (delta > 0 ? 0.1f : -0.1f), e.gainMin, e.gainMax);
    Recompute(m_selected);
    emit bandChanged(m_selected);
    update();
}

void CEqPanel::ClampAfterKey(int index) {
    CurveBand& b = m_bands[static_cast<size_t>(index)];
    const BandExtras& e = m_extras[static_cast<size_t>(index)];
    b.gainDb = std::clamp(b.gainDb, e.gainMin, e.gainMax);
    b.q = std::clamp(b.q, kMinQ, QLimitFor(b.type));
    b.freqHz = std::clamp(b.freqHz, e.freqMin, e.freqMax);
    Recompute(index);
    emit bandChanged(index);
    update();
}

void CEqPanel::keyPressEvent(QKeyEvent* event) {
    if (m_selected < 0) {
        return; // swallowed
    }
    const bool fine = event->modifiers().testFlag(Qt::ControlModifier);
    const int last = VisibleBandCount() - 1;
    const bool onCrossover = IsOutputPath() && m_selected == kOutputCrossoverBand;
    CurveBand& b = m_bands[static_cast<size_t>(m_selected)];
    const int key = event->key();

    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        const int band = key == Qt::Key_0 ? 9 : key - Qt::Key_1;
        if (band <= last) {
            m_selected = band;
            emit bandPicked(band);
            update();
        }
        return;
    }

    switch (key) {
    case Qt::Key_PageUp:
        m_selected = std::max(0, m_selected - 1);
        break;
    case Qt::Key_PageDown:
        m_selected = std::min(last, m_selected + 1);
        break;
    case Qt::Key_Home:
        m_selected = 0;
        break;
    case Qt::Key_End:
        m_selected = last;
        break;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const float f = b.freqHz;
        float step = f > 10000.0f ? 100.0f : f > 1000.0f ? 10.0f : f > 100.0f ? 5.0f : 2.0f;
        if (fine) {
            step += 1.0f;
        }
        b.freqHz += key == Qt::Key_Left ? -step : step;
        break;
    }
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (BandGainEditable(b.type)) {
            const float step = fine ? 0.1f : 0.2f;
            b.gainDb += key == Qt::Key_Up ? step : -step;
        }
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: // the "=/+" key, as the main keyboard's plus
        b.q += fine ? 0.01f : 0.1f;
        break;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        b.q -= fine ? 0.01f : 0.1f;
        break;
    case Qt::Key_Comma:
        if (onCrossover) {
            return;
        }
        if (b.type >= eqtype::LowPass && b.type <= eqtype::HighShelf) {
            SetBandType(m_selected, b.type - 1);
        }
        break;
    case Qt::Key_Period:
        if (onCrossover) {
            return;
        }
        if (b.type >= eqtype::Peaking && b.type <= eqtype::LowShelf) {
            SetBandType(m_selected, b.type + 1);
        }
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (m_selected >= 0 && m_selected <= std::max(0, last)) {
        ClampAfterKey(m_selected);
    }
}

// ---- Menus -----------------------------------------------------------------------------------------------

void CEqPanel::PopupMenu(bool typeMenu, QPoint at) {
    if (m_menu) {
        m_menu->close();
    }
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    auto add = [this, menu](const QString& text, int id) {
        QAction* a = menu->addAction(text);
        connect(a, &QAction::triggered, this, [this, id] { OnMenuCommand(id); });
    };
    if (typeMenu) {
        add(UiText("参量(PEQ)", "PEQ"), ID_EQTYPE_PEQ);
        add(UiText("低通(LP)", "LP"), ID_EQTYPE_PEQ + 1);
        add(UiText("高通(HP)", "HP"), ID_EQTYPE_PEQ + 2);
        add(UiText("低架(LS)", "LS"), ID_EQTYPE_PEQ + 3);
        add(UiText("高架(HS)", "HS"), ID_EQTYPE_HS);
    } else {
        add(UiText("复制均衡", "Copy EQ"), ID_COPY_EQ);
        add(UiText("粘贴均衡", "Paste EQ"), ID_PASTE_EQ);
        if (m_correctionMenu) {
            menu->addSeparator();
            add(UiText("导入滤波器…", "Import filters…"), ID_IMPORT_FILTERS);
            add(UiText("导出滤波器…", "Export filters…"), ID_EXPORT_FILTERS);
            menu->addSeparator();
            add(UiText("显示测量曲线…", "Show measurement…"), ID_SHOW_MEASUREMENT);
            add(UiText("按测量曲线拟合…", "Fit to measurement…"), ID_FIT_MEASUREMENT);
            add(UiText("清除测量曲线", "Clear measurement"), ID_CLEAR_MEASUREMENT);
            menu->actions().constLast()->setEnabled(CEqOverlays::Instance().Find(m_eqIdentity) != nullptr);
        }
    }
    m_menu = menu;
    // Not exec(): the panel keeps running its event loop and the choice arrives through OnMenuCommand.
    menu->popup(mapToGlobal(at));
}

void CEqPanel::OnMenuCommand(int commandId) {
    if (commandId >= ID_EQTYPE_PEQ && commandId <= ID_EQTYPE_HS) {
        if (m_selected < 0) {
            return;
        }
        SetBandTypeFromMenu(m_selected, commandId - ID_EQTYPE_PEQ + 1);
        emit bandChanged(m_selected);
        update();
    } else if (commandId >= ID_COPY_EQ && commandId <= ID_COPYPASTE_OTHER) {
        emit copyPaste(commandId - ID_COPY_EQ, m_eqIdentity);
    } else if (commandId >= ID_IMPORT_FILTERS && commandId <= ID_CLEAR_MEASUREMENT) {
        emit correctionCommand(commandId);
    }
}

void CEqPanel::contextMenuEvent(QContextMenuEvent* event) {
    // The mouse opens the menus on release (above); the menu key and Shift+F10 open the same menu the
    // right button would: the type menu at the selected marker, the path menu in the plot otherwise.
    if (event->reason() != QContextMenuEvent::Keyboard) {
        event->accept();
        return;
    }
    const QRect plot = PlotRect();
    QPoint at = plot.center();
    if (m_selected >= 0 && m_selected < VisibleBandCount()) {
        const BandExtras& e = m_extras[static_cast<size_t>(m_selected)];
        at = QPoint(plot.left() + static_cast<int>(e.markerX), plot.top() + static_cast<int>(e.markerY));
    }
    PopupMenu(m_selected >= 0, at);
    event->accept();
}

// ---- Painting ------------------------------------------------------------------------------------------

void CEqPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The display grid depends on the plot width.
    RecomputeAll();
    RefreshOverlay();
    m_staticKey.clear();
}

void CEqPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    Render(p);
}

QImage CEqPanel::RenderImage(qreal devicePixelRatio) {
    QImage image(size() * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    QPainter p(&image);
    Render(p);
    return image;
}

void CEqPanel::Render(QPainter& p) {
    const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    // Grid, labels and title change only with size, scale, path and language: kept as one layer.
    const QString key =
        QStringLiteral("%1x%2@%3/%4/%5").arg(width()).arg(height()).arg(dpr).arg(m_eqIdentity).arg(UiLanguageIndex());
    if (key != m_staticKey || m_staticLayer.isNull()) {
        m_staticLayer = QPixmap(size() * dpr);
        m_staticLayer.setDevicePixelRatio(dpr);
        QPainter sp(&m_staticLayer);
        PaintStatic(sp, dpr);
        m_staticKey = key;
    }
    p.drawPixmap(0, 0, m_staticLayer);

    for (int i = 0; i < VisibleBandCount(); ++i) {
        UpdateMarker(i);
    }
    p.setRenderHint(QPainter::Antialiasing, true);
    if (m_selected >= 0) {
        PaintSelectedArea(p);
    }
    const BandCurve total = TotalCurve();
    if (m_overlay.shown) {
        PaintOverlay(p, total);
    }
    PaintTotal(p, total);
    if (m_overlay.shown) {
        PaintOverlayLegend(p, total);
    }
    PaintMarkers(p);
    const int labelled = m_hover >= 0 ? m_hover : m_selected;
    if (labelled >= 0 && labelled < VisibleBandCount()) {
        PaintValueLabels(p, labelled);
    }
    if (m_selected >= 0) {
        PaintStatus(p);
    }
    if (m_bypass) {
        p.setFont(HeiFont(72));
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("BYPASS"));
    }
}

void CEqPanel::PaintStatic(QPainter& p, qreal) {
    const QRect plot = PlotRect();
    p.fillRect(rect(), kBackground);

    p.setFont(SongFont(13));
    p.setPen(QColor(255, 255, 0));
    const QRect titleBox(0, 0, plot.right() + 1 - 2, plot.top() - 1);
    p.drawText(titleBox, Qt::AlignRight | Qt::AlignBottom, Title());

    // Grid lines sit on whole pixels so they stay one crisp pixel (two at 200 %).
    p.setRenderHint(QPainter::Antialiasing, false);
    QPen grid(kGridPen, 1.0);
    grid.setCapStyle(Qt::FlatCap);
    const QFont labelFont = ArialFont(PointsToPixels(8.4));
    p.setFont(labelFont);
    const QFontMetrics fm(labelFont);
    for (int db = -15; db <= 15; db += 3) {
        const int y = static_cast<int>(std::lround(YForGain(db)));
        p.setPen(grid);
        p.drawLine(plot.left(), y, plot.right(), y);
        // The 0 dB label is formatted from negative zero and so reads "-0dB".
        const double value = db == 0 ? -0.0 : static_cast<double>(db);
        // The C library keeps the sign of negative zero (Qt's formatter drops it).
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%+-.0fdB", value);
        const QString text = QString::fromLatin1(buffer);
        p.setPen(kGridLabel);
        p.drawText(QRect(0, y - fm.height() / 2, plot.left() - 3, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   text);
    }
    p.setPen(grid);
    for (double hz : kGridHz) {
        const int x = static_cast<int>(std::lround(PointFor(hz, 0).x()));
        p.drawLine(x, plot.top() + 1, x, plot.bottom());
    }
    p.setPen(kGridLabel);
    for (const auto& [box, text] : FrequencyLabels())
        p.drawText(box, Qt::AlignHCenter | Qt::AlignTop, text);
}

std::vector<std::pair<QRect, QString>> CEqPanel::FrequencyLabels() const {
    const QRect plot = PlotRect();
    const QFontMetrics fm(ArialFont(PointsToPixels(8.4)));
    std::vector<std::pair<QRect, QString>> labels;
    int lastRight = std::numeric_limits<int>::min();
    for (const AxisLabel& label : kHzLabels) {
        const int x = static_cast<int>(std::lround(PointFor(label.hz, 0).x()));
        const QString text = QString::fromLatin1(label.text);
        const int w = fm.horizontalAdvance(text) + 2;
        // Centred under its grid line, but never past the panel's edges ("20kHz" sits at the right one).
        const int left = std::clamp(x - w / 2, 0, std::max(0, width() - w));
        // On a narrow panel a label that would run into its left neighbour is left out.
        if (left < lastRight + 4) {
            continue;
        }
        labels.emplace_back(QRect(left, plot.bottom() + 4, w, fm.height()), text);
        lastRight = left + w;
    }
    return labels;
}

void CEqPanel::PaintSelectedArea(QPainter& p) {
    const bool output = IsOutputPath();
    if (output && m_selected != kOutputCrossoverBand) {
        return; // on outputs only the crossover gets an area
    }
    const CurveBand& sel = m_bands[static_cast<size_t>(m_selected)];
    if (sel.type == eqtype::Off) {
        return;
    }
    BandCurve curve = sel.curve;
    if (output) {
        curve = SumBandCurves(std::span<const CurveBand>(m_bands).subspan(kOutputCrossoverBand, 4), 4);
    }
    const QRect plot = PlotRect();
    const double step = plot.width() / 512.0;
    const double closeY =
        IsLowPassKind(sel.type) || IsHighPassKind(sel.type) ? plot.bottom() + 1 + 20.0 : YForGain(0.0);
    QPainterPath area;
    area.moveTo(plot.left(), YForGain(DrawableDb(curve[0])));
    for (int i = 1; i < kCurvePoints; ++i) {
        area.lineTo(plot.left() + i * step, YForGain(DrawableDb(curve[static_cast<size_t>(i)])));
    }
    area.lineTo(plot.left() + (kCurvePoints - 1) * step, closeY);
    area.lineTo(plot.left(), closeY);
    area.closeSubpath();
    p.save();
    p.setClipRect(plot);
    p.setPen(Qt::NoPen);
    p.setBrush(WithAlpha(EqBandColour(m_selected), 0x20));
    p.drawPath(area);
    p.restore();
}

void CEqPanel::PaintTotal(QPainter& p, const BandCurve& total) {
    const QRect plot = PlotRect();
    const double step = plot.width() / 512.0;
    std::array<QPointF, kCurvePoints> pts;
    for (int i = 0; i < kCurvePoints; ++i) {
        pts[static_cast<size_t>(i)] =
            QPointF(plot.left() + i * step, YForGain(DrawableDb(total[static_cast<size_t>(i)])));
    }
    // Cardinal spline of tension 0.1: each segment a cubic whose control points lie tension/3 of the
    // neighbour chord away from its ends.
    constexpr double kTension = 0.1;
    QPainterPath path(pts[0]);
    for (size_t i = 0; i + 1 < pts.size(); ++i) {
        const QPointF& p0 = pts[i == 0 ? 0 : i - 1];
        const QPointF& p1 = pts[i];
        const QPointF& p2 = pts[i + 1];
        const QPointF& p3 = pts[std::min(i + 2, pts.size() - 1)];
        path.cubicTo(p1 + (p2 - p0) * (kTension / 3.0), p2 - (p3 - p1) * (kTension / 3.0), p2);
    }
    p.save();
    p.setClipRect(plot.adjusted(0, -1, 1, 1));
    QPen pen(kTotalCurve, 2.0);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.restore();
}

QPainterPath CEqPanel::OverlayPath(const std::function<float(size_t)>& valueAt) const {
    // Straight segments between grid points; NaN points (outside the measurement) break the curve.
    const QRect plot = PlotRect();
    const double step = plot.width() / 512.0;
    QPainterPath path;
    bool open = false;
    for (int i = 0; i < kCurvePoints; ++i) {
        const float db = valueAt(static_cast<size_t>(i));
        if (std::isnan(db)) {
            open = false;
            continue;
        }
        const QPointF pt(plot.left() + i * step, YForGain(DrawableDb(db)));
        if (open) {
            path.lineTo(pt);
        } else {
            path.moveTo(pt);
            open = true;
        }
    }
    return path;
}

void CEqPanel::PaintOverlay(QPainter& p, const BandCurve& total) {
    const QRect plot = PlotRect();
    const BandCurve& measured = m_overlay.measured;
    // Only the prediction moves with the bands; the rest of the overlay is drawn once into a layer.
    BandCurve kept{};
    QString key = QStringLiteral("%1x%2@%3/%4")
                      .arg(width())
                      .arg(height())
                      .arg(p.device() ? p.device()->devicePixelRatioF() : 1.0)
                      .arg(m_overlayGeneration);
    if (m_overlay.proposal) {
        // The bands the fit leaves alone (an output's crossover) play under a proposal as well.
        const int free = std::min(FreeEqBandCount(m_eqIdentity), m_bandCount);
        kept =
            SumBandCurves(std::span<const CurveBand>(m_bands).subspan(static_cast<size_t>(free)), m_bandCount - free);
        double sum = 0.0;
        for (float v : kept) {
            sum += v;
        }
        key += QLatin1Char('/') + QString::number(sum, 'g', 17);
    }
    if (key != m_overlayKey || m_overlayLayer.isNull()) {
        const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
        m_overlayLayer = QPixmap(size() * dpr);
        m_overlayLayer.setDevicePixelRatio(dpr);
        m_overlayLayer.fill(Qt::transparent);
        QPainter lp(&m_overlayLayer);
        lp.setRenderHint(QPainter::Antialiasing, true);
        lp.setClipRect(plot.adjusted(0, -1, 1, 1));
        lp.setBrush(Qt::NoBrush);
        lp.setPen(QPen(kTargetCurve, 1.0, Qt::DashLine));
        lp.drawPath(OverlayPath([&](size_t i) { return m_overlay.target[i]; }));
        // The measurement over the prediction: where the bands are flat the two coincide and both show.
        lp.setPen(QPen(kMeasuredCurve, 1.5));
        lp.drawPath(OverlayPath([&](size_t i) { return measured[i]; }));
        if (m_overlay.proposal) {
            lp.setPen(QPen(kProposalCurve, 2.0, Qt::DashLine));
            lp.drawPath(OverlayPath([&](size_t i) { return measured[i] + m_overlay.proposalEq[i] + kept[i]; }));
        }
        m_overlayKey = key;
    }
    p.save();
    p.setClipRect(plot.adjusted(0, -1, 1, 1));
    p.setBrush(Qt::NoBrush);
    // Redrawn at every drag step: two one-pixel strokes a little apart read as a bold line and cost a
    // tenth of one wide antialiased stroke along a ragged measurement.
    const QPainterPath predicted =
        OverlayPath([&](size_t i) { return m_bypass ? measured[i] : measured[i] + total[i]; });
    p.setPen(QPen(kPredictedCurve, 1.0));
    p.drawPath(predicted);
    p.translate(0, 0.8);
    p.drawPath(predicted);
    p.restore();
    p.drawPixmap(0, 0, m_overlayLayer);
}

void CEqPanel::PaintOverlayLegend(QPainter& p, const BandCurve& total) {
    struct Entry {
        QColor colour;
        Qt::PenStyle style;
        QString text;
    };
    std::vector<Entry> entries = {
        {kMeasuredCurve, Qt::SolidLine, UiText("测量", "Measured")},
        {kPredictedCurve, Qt::SolidLine, UiText("预测", "Predicted")},
        {kTargetCurve, Qt::DashLine,
         m_overlay.targetFromFile ? UiText("目标", "Target") : UiText("目标(平直)", "Target (flat)")}};
    if (m_overlay.proposal) {
        entries.push_back({kProposalCurve, Qt::DashLine, UiText("拟合结果", "Fit result")});
    }
    const QFont font = ArialFont(PointsToPixels(8.0));
    const QFontMetrics fm(font);
    int textWidth = 0;
    for (const Entry& e : entries) {
        textWidth = std::max(textWidth, fm.horizontalAdvance(e.text));
    }
    const int lineHeight = fm.height() + 1;
    const QRect plot = PlotRect();
    const QSize size(6 + 22 + 5 + textWidth + 6, 4 + lineHeight * static_cast<int>(entries.size()) + 2);
    // In the corner of the plot the curves cross least, top left when they leave it free.
    const std::array<QRect, 4> corners = {
        QRect(QPoint(plot.left() + 6, plot.top() + 6), size),
        QRect(QPoint(plot.right() - 6 - size.width(), plot.top() + 6), size),
        QRect(QPoint(plot.left() + 6, plot.bottom() - 6 - size.height()), size),
        QRect(QPoint(plot.right() - 6 - size.width(), plot.bottom() - 6 - size.height()), size)};
    const double step = plot.width() / 512.0;
    QRect box = corners[0];
    int fewest = std::numeric_limits<int>::max();
    for (const QRect& corner : corners) {
        int crossing = 0;
        for (int i = 0; i < kCurvePoints; ++i) {
            const double x = plot.left() + i * step;
            if (x < corner.left() || x > corner.right())
                continue;
            const float measured = m_overlay.measured[static_cast<size_t>(i)];
            for (float db : {measured, m_bypass ? measured : measured + total[static_cast<size_t>(i)]}) {
                const double y = YForGain(DrawableDb(db));
                crossing += !std::isnan(db) && y >= corner.top() && y <= corner.bottom() ? 1 : 0;
            }
        }
        if (crossing < fewest) {
            fewest = crossing;
            box = corner;
        }
    }
    p.save();
    p.setPen(QPen(kGridPen, 1.0));
    p.setBrush(WithAlpha(kBackground, 0xD0));
    p.drawRect(box);
    p.setFont(font);
    int y = box.top() + 4;
    for (const Entry& e : entries) {
        const double mid = y + lineHeight / 2.0;
        p.setPen(QPen(e.colour, 2.0, e.style));
        p.drawLine(QPointF(box.left() + 6, mid), QPointF(box.left() + 28, mid));
        p.setPen(kLabelText);
        p.drawText(QRect(box.left() + 33, y, textWidth + 2, lineHeight), Qt::AlignLeft | Qt::AlignVCenter, e.text);
        y += lineHeight;
    }
    p.restore();
}

void CEqPanel::PaintMarkers(QPainter& p) {
    const QRect plot = PlotRect();
    const QFont numberFont = ArialFont(PointsToPixels(8.0));
    for (int i = 0; i < VisibleBandCount(); ++i) {
        const CurveBand& b = m_bands[static_cast<size_t>(i)];
        if (b.type == eqtype::Off) {
            continue;
        }
        const BandExtras& e = m_extras[static_cast<size_t>(i)];
        const QPointF c(plot.left() + e.markerX, plot.top() + e.markerY);
        const QColor colour = EqBandColour(i);
        const QColor fill = WithAlpha(colour, i == m_selected ? 0x50 : 0x25);
        if (b.type == eqtype::Peaking) {
            p.setPen(QPen(WithAlpha(colour, 0x7F), 2.0, Qt::SolidLine, Qt::FlatCap));
            p.setBrush(Qt::NoBrush);
            const QRectF ring(c.x() - 9, c.y() - 9, 18, 18);
            // Two arcs with gaps at left and right.
            p.drawArc(ring, 15 * 16, 150 * 16);
            p.drawArc(ring, 195 * 16, 150 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(fill);
            p.drawEllipse(c, 7.0, 7.0);
        } else {
            QPen dashed(WithAlpha(colour, 0x7F), 1.5, Qt::DashLine);
            p.setPen(dashed);
            p.setBrush(fill);
            p.drawRect(QRectF(c.x() - 7, c.y() - 7, 14, 14));
            if (i == m_selected) {
                p.setPen(QPen(QColor(255, 0, 0, 255), 1.5, Qt::DashLine));
                p.drawLine(QPointF(c.x(), plot.top()), QPointF(c.x(), plot.bottom() + 1));
            }
        }
        p.setFont(numberFont);
        p.setPen(colour);
        p.drawText(QRectF(c.x() - 10, c.y() - 8, 20, 16), Qt::AlignCenter, QString::number(e.index + 1));
    }
}

void CEqPanel::PaintValueLabels(QPainter& p, int index) {
    const CurveBand& b = m_bands[static_cast<size_t>(index)];
    const BandExtras& e = m_extras[static_cast<size_t>(index)];
    const QRect plot = PlotRect();
    // Lines stand 9 pixels apart; the face is sized so its capitals and digits fit that pitch whatever
    // face the fallback chain supplies.
    QFont font = ArialFont(PointsToPixels(8.4));
    while (font.pixelSize() > 8 && QFontMetrics(font).capHeight() > 7.5) {
        font.setPixelSize(font.pixelSize() - 1);
    }
    const QFontMetrics fm(font);
    const std::array<QString, 3> labels = {QStringLiteral("F:"), QStringLiteral("G:"), QStringLiteral("Q:")};
    const std::array<QString, 3> values = {QString::asprintf("%.0fHz", static_cast<double>(b.freqHz)),
                                           QString::asprintf("%+-.1fdB", static_cast<double>(b.gainDb)),
                                           QString::asprintf("%.2f", static_cast<double>(b.q))};
    const bool above = b.gainDb < -0.01f;
    const std::array<int, 3> offsets = above ? std::array<int, 3>{-42, -33, -24} : std::array<int, 3>{18, 27, 36};
    const int labelWidth = fm.horizontalAdvance(QStringLiteral("G:")) + 2;
    int valueWidth = 0;
    for (const QString& v : values) {
        valueWidth = std::max(valueWidth, fm.horizontalAdvance(v));
    }
    // The block starts a little left of the marker and is kept inside the client area.
    double x = plot.left() + e.markerX - 12;
    x = std::clamp(x, 1.0, std::max(1.0, static_cast<double>(width() - labelWidth - valueWidth - 2)));
    const double cy = plot.top() + e.markerY;
    p.setFont(font);
    for (size_t k = 0; k < 3; ++k) {
        // Offsets give each line's top; the baseline sits at the digits' cap height below it.
        const double baseline = cy + offsets[k] + fm.capHeight();
        p.setPen(kLabelText);
        p.drawText(QPointF(x, baseline), labels[k]);
        p.setPen(kValueText);
        p.drawText(QPointF(x + labelWidth, baseline), values[k]);
    }
}

CEqPanel::StatusLine CEqPanel::StatusLayout() const {
    StatusLine line;
    if (m_selected < 0)
        return line;
    const CurveBand& b = m_bands[static_cast<size_t>(m_selected)];
    line.text = UiLanguageIndex() == 0
                    ? QString::asprintf("EQ号=%d    频率=%.0fHz    Q值=%.2f     增益=", m_selected + 1,
                                        static_cast<double>(b.freqHz), static_cast<double>(b.q))
                    : QString::asprintf("Index=%d     Frequency=%.0fHz    Q=%.2f     Gain=", m_selected + 1,
                                        static_cast<double>(b.freqHz), static_cast<double>(b.q));
    line.gain = QString::asprintf("%+-.1fdB ", static_cast<double>(b.gainDb));
    line.font = SongFont(PointsToPixels(9.0));
    constexpr qreal kLeft = 36;
    // On a narrow panel the wide spacing would run into the title at the right: single spaces then.
    const qreal titleLeft = PlotRect().right() - QFontMetrics(SongFont(13)).horizontalAdvance(Title()) - 8;
    auto advance = [&line] { return QFontMetricsF(line.font).horizontalAdvance(line.text + line.gain); };
    if (kLeft + advance() > titleLeft)
        line.text = line.text.simplified();
    // Still too wide: the status of the band being edited wins over the title for as long as it shows,
    // and on a very narrow panel a smaller font keeps the gain whole.
    line.coversTitle = kLeft + advance() > titleLeft;
    while (kLeft + advance() > width() - 2 && line.font.pixelSize() > 8)
        line.font.setPixelSize(line.font.pixelSize() - 1);
    const QFontMetricsF fm(line.font);
    line.box = QRectF(kLeft, 3, advance(), fm.height());
    return line;
}

QRectF CEqPanel::StatusRect() const {
    return StatusLayout().box;
}

void CEqPanel::PaintStatus(QPainter& p) {
    const StatusLine line = StatusLayout();
    const float g = m_bands[static_cast<size_t>(m_selected)].gainDb;
    const float mag = std::fabs(g);
    const QColor gainColour = (g >= -6.0f && g <= 6.0f)     ? QColor(0, 255, 0)
                              : (mag > 6.0f && mag < 10.1f) ? QColor(255, 255, 0)
                                                            : QColor(255, 0, 0);
    const QFontMetrics fm(line.font);
    p.setFont(line.font);
    const QPointF origin(line.box.left(), line.box.top() + fm.ascent());
    if (line.coversTitle)
        p.fillRect(QRect(0, 0, width(), PlotRect().top() - 1), kBackground);
    p.setPen(QColor(0, 255, 0));
    p.drawText(origin, line.text);
    p.setPen(gainColour);
    p.drawText(origin + QPointF(fm.horizontalAdvance(line.text), 0), line.gain);
}

} // namespace orvex
