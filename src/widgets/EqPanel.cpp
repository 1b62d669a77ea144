#include "widgets/EqPanel.h"

#include "widgets/UiLanguage.h"
#include "model/EqPaths.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

// Hit radii: left press, right press and hover.
constexpr float kLeftHitRadius = 10.0f;
constexpr float kWideHitRadius = 16.0f;

} // namespace

int CEqPanel::EqClipboard() {
    return EqBandClipboard();
}

void CEqPanel::SetEqClipboard(int eqIdentity) {
    SetEqBandClipboard(eqIdentity);
}

QColor CEqPanel::OverlayColour(OverlayCurve curve) {
    switch (curve) {
    case OverlayCurve::Measured:
        return graphpalette::Measured;
    case OverlayCurve::Predicted:
        return graphpalette::Predicted;
    case OverlayCurve::Target:
        return graphpalette::Target;
    case OverlayCurve::Proposal:
        return graphpalette::Proposal;
    }
    return graphpalette::Predicted;
}

CEqPanel::CEqPanel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setMinimumSize(240, 140);
    m_bands.SetAxisSource([this] { return Axis(); });
    m_bands.SetRecomputedHandler([this](int index) { UpdateMarker(index); });
    connect(&CEqOverlays::Instance(), &CEqOverlays::changed, this, [this](int identity) {
        if (identity == EqIdentity()) {
            RefreshOverlay();
            update();
        }
    });
}

CEqPanel::~CEqPanel() = default;

void CEqPanel::SetEqIdentity(int eqIdentity) {
    m_bands.SetEqIdentity(eqIdentity);
    m_painter.InvalidateStatic();
    RefreshOverlay();
    update();
}

void CEqPanel::RefreshOverlay() {
    SampleEqOverlay(CEqOverlays::Instance().Find(EqIdentity()), Axis(), m_overlay);
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
    return IsOutputEqIdentity(EqIdentity());
}

QString CEqPanel::Title() const {
    static constexpr std::array<std::pair<const char*, const char*>, 7> kTitles = {{{"话筒A均衡", "Mic A EQ"},
                                                                                    {"话筒B均衡", "Mic B EQ"},
                                                                                    {"混响A均衡", "Reverb A EQ"},
                                                                                    {"混响B均衡", "Reverb B EQ"},
                                                                                    {"回声A均衡", "Echo A EQ"},
                                                                                    {"回声B均衡", "Echo B EQ"},
                                                                                    {"音乐均衡", "Music EQ"}}};
    if (EqIdentity() >= 0 && EqIdentity() < static_cast<int>(kTitles.size())) {
        const auto& t = kTitles[static_cast<size_t>(EqIdentity())];
        return UiText(t.first, t.second);
    }
    if (IsOutputPath()) {
        const int channel = EqIdentity() - eqid::FirstOutput + 1;
        return UiLanguageIndex() == 0 ? QStringLiteral("通道%1均衡").arg(channel)
                                      : QStringLiteral("CH%1 EQ").arg(channel);
    }
    return {};
}

void CEqPanel::SetBandCount(int count) {
    m_bands.SetBandCount(count);
    update();
}

void CEqPanel::BeginLoad() {
    m_bands.BeginLoad();
}

void CEqPanel::EndLoad() {
    if (m_bands.EndLoad()) {
        update();
    }
}

int CEqPanel::VisibleBandCount() const {
    return m_bands.VisibleBandCount();
}

CurveAxis CEqPanel::Axis() const {
    return Geometry().Axis();
}

void CEqPanel::SetBandType(int index, int code) {
    if (!m_bands.IsLive(index)) {
        return;
    }
    m_bands.SetBandType(index, code);
    update();
}

void CEqPanel::SetBandGain(int index, float gainDb) {
    if (!m_bands.IsLive(index)) {
        return;
    }
    m_bands.SetBandGain(index, gainDb);
    update();
}

void CEqPanel::SetBandQ(int index, float q) {
    if (!m_bands.IsLive(index) || !(std::fabs(q) >= 1e-7f)) {
        return;
    }
    m_bands.SetBandQ(index, q);
    update();
}

void CEqPanel::SetBandFrequency(int index, float hz) {
    if (!m_bands.IsLive(index) || !std::isfinite(hz)) {
        return;
    }
    m_bands.SetBandFrequency(index, hz);
    update();
}

void CEqPanel::SetBandTypeFromMenu(int index, int menuType) {
    if (!m_bands.IsLive(index) || menuType < eqtype::Peaking || menuType > eqtype::HighShelf) {
        return;
    }
    m_bands.SetBandTypeFromMenu(index, menuType);
    update();
}

void CEqPanel::SetCrossoverFamily(int index, int listIndex) {
    if (index != kOutputCrossoverBand) {
        return;
    }
    m_bands.SetCrossoverFamily(index, listIndex);
    update();
}

void CEqPanel::LoadBand(int index, const EqBand& band) {
    if (!m_bands.IsLive(index)) {
        return;
    }
    m_bands.LoadBand(index, band);
    update();
}

void CEqPanel::ResetBandRecord(int index) {
    if (!m_bands.IsLive(index)) {
        return;
    }
    m_bands.ResetBand(index);
    m_markers[static_cast<size_t>(index)] = EqMarker{};
    update();
}

EqPanelBand CEqPanel::Band(int index) const {
    EqPanelBand out;
    if (!m_bands.IsLive(index)) {
        return out;
    }
    const CurveBand& b = m_bands.Band(index);
    const EqBandLimits& limits = m_bands.Limits(index);
    const EqMarker& marker = m_markers[static_cast<size_t>(index)];
    out.markerX = marker.x;
    out.markerY = marker.y;
    out.index = index;
    out.type = b.type;
    out.freqHz = b.freqHz;
    out.gainDb = b.gainDb;
    out.q = b.q;
    out.freqMin = limits.freqMin;
    out.freqMax = limits.freqMax;
    out.gainMin = limits.gainMin;
    out.gainMax = limits.gainMax;
    return out;
}

void CEqPanel::SetSelectedBand(int index) {
    m_selected = (index >= 0 && index < BandCount()) ? index : -1;
    update();
}

void CEqPanel::SetBypass(bool bypass) {
    m_bypass = bypass;
    update();
}

QRect CEqPanel::PlotRect() const {
    return Geometry().Plot();
}

QPointF CEqPanel::PointFor(double hz, double gainDb) const {
    return Geometry().PointFor(hz, gainDb);
}

void CEqPanel::UpdateMarker(int index) {
    const CurveBand& b = m_bands.Band(index);
    const EqGraphGeometry geometry = Geometry();
    const QRect plot = geometry.Plot();
    const QPointF at = geometry.PointFor(std::max(1.0f, b.freqHz), b.gainDb);
    EqMarker& marker = m_markers[static_cast<size_t>(index)];
    marker.x = static_cast<float>(at.x() - plot.left());
    marker.y = static_cast<float>(at.y() - plot.top());
}

int CEqPanel::HitTest(QPointF plotPoint, float radius, bool checkType, bool lastWins) {
    int found = -1;
    for (int i = 0; i < VisibleBandCount(); ++i) {
        UpdateMarker(i);
        const EqMarker& e = m_markers[static_cast<size_t>(i)];
        if (std::fabs(e.x - plotPoint.x()) < radius && std::fabs(e.y - plotPoint.y()) < radius &&
            (!checkType || m_bands.Band(i).type != eqtype::Off)) {
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
            const EqMarker& e = m_markers[static_cast<size_t>(m_selected)];
            m_grabOffset = at - QPoint(static_cast<int>(e.x), static_cast<int>(e.y));
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
    if (m_leftDown) {
        // The grab offset keeps the marker under the pointer vertically only; x follows the pointer.
        const EqGraphGeometry geometry = Geometry();
        m_bands.DragBand(m_selected, geometry.FrequencyAt(at.x()), geometry.GainAt(at.y() - m_grabOffset.y()));
        emit bandChanged(m_selected);
        repaint();
    } else {
        m_bands.DragQ(m_selected, static_cast<float>(at.x() - m_previousX));
        m_previousX = at.x();
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
    if (m_selected < 0 || delta == 0 || !m_bands.WheelGain(m_selected, delta > 0)) {
        event->ignore();
        return;
    }
    emit bandChanged(m_selected);
    update();
}

void CEqPanel::ClampAfterKey(int index) {
    m_bands.ClampToLimits(index);
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
    case Qt::Key_Right:
        m_bands.NudgeFrequency(m_selected, key == Qt::Key_Right, fine);
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
        m_bands.NudgeGain(m_selected, key == Qt::Key_Up, fine);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: // the "=/+" key, as the main keyboard's plus
        m_bands.NudgeQ(m_selected, true, fine);
        break;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        m_bands.NudgeQ(m_selected, false, fine);
        break;
    case Qt::Key_Comma:
    case Qt::Key_Period:
        if (onCrossover) {
            return;
        }
        m_bands.NudgeType(m_selected, key == Qt::Key_Period);
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
    auto add = [this, menu](const char* zh, const char* en, int id) {
        QAction* a = menu->addAction(QString());
        SetActionTexts(a, zh, en);
        connect(a, &QAction::triggered, this, [this, id] { OnMenuCommand(id); });
    };
    if (typeMenu) {
        add("参量(PEQ)", "PEQ", ID_EQTYPE_PEQ);
        add("低通(LP)", "LP", ID_EQTYPE_PEQ + 1);
        add("高通(HP)", "HP", ID_EQTYPE_PEQ + 2);
        add("低架(LS)", "LS", ID_EQTYPE_PEQ + 3);
        add("高架(HS)", "HS", ID_EQTYPE_HS);
    } else {
        add("复制均衡", "Copy EQ", ID_COPY_EQ);
        add("粘贴均衡", "Paste EQ", ID_PASTE_EQ);
        if (m_correctionMenu) {
            menu->addSeparator();
            add("导入滤波器…", "Import filters…", ID_IMPORT_FILTERS);
            add("导出滤波器…", "Export filters…", ID_EXPORT_FILTERS);
            menu->addSeparator();
            add("显示测量曲线…", "Show measurement…", ID_SHOW_MEASUREMENT);
            add("按测量曲线拟合…", "Fit to measurement…", ID_FIT_MEASUREMENT);
            add("清除测量曲线", "Clear measurement", ID_CLEAR_MEASUREMENT);
            menu->actions().constLast()->setEnabled(CEqOverlays::Instance().Find(EqIdentity()) != nullptr);
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
        emit copyPaste(commandId - ID_COPY_EQ, EqIdentity());
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
        const EqMarker& e = m_markers[static_cast<size_t>(m_selected)];
        at = QPoint(plot.left() + static_cast<int>(e.x), plot.top() + static_cast<int>(e.y));
    }
    PopupMenu(m_selected >= 0, at);
    event->accept();
}

// ---- Painting ------------------------------------------------------------------------------------------

void CEqPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The display grid depends on the plot width.
    m_bands.RecomputeAll();
    RefreshOverlay();
    m_painter.InvalidateStatic();
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

EqScene CEqPanel::Scene() const {
    return EqScene{m_bands, m_markers, m_overlay, Title(), EqIdentity(), m_selected, m_hover, m_bypass};
}

void CEqPanel::Render(QPainter& p) {
    for (int i = 0; i < VisibleBandCount(); ++i) {
        UpdateMarker(i);
    }
    m_painter.Render(p, Geometry(), Scene());
}

std::vector<std::pair<QRect, QString>> CEqPanel::FrequencyLabels() const {
    return CEqPainter::FrequencyLabels(Geometry());
}

QRectF CEqPanel::StatusRect() const {
    return CEqPainter::StatusRect(Geometry(), Scene());
}

} // namespace orvex
