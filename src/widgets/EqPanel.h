#pragma once

#include "widgets/EqOverlay.h"
#include "widgets/EqPainter.h"
#include "widgets/GraphPalette.h"
#include "model/EqBandSet.h"
#include "model/FilterDesign.h"

#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace orvex {

inline constexpr int kEqPanelSlots = kEqBandSlots;

// One band as the panel reports it to its page (the record a notification points at).
struct EqPanelBand {
    float markerX = 0.0f; // marker centre, pixels from the plot's left edge (written when drawn or hit-tested)
    float markerY = 0.0f; // pixels from the plot's top edge
    int32_t index = 0;
    int32_t type = eqtype::Peaking;
    float freqHz = 100.0f;
    float gainDb = 0.0f;
    float q = 1.0f;
    float freqMin = static_cast<float>(kMinBandFreqHz);
    float freqMax = static_cast<float>(kMaxBandFreqHz);
    float gainMin = kMinBandGainDb;
    float gainMax = kMaxBandGainDb;
};

// The interactive equaliser graph of one path. It never talks to the processor: every change is
// reported with a signal and the owning page stores and sends it. The bands and their rules are an
// EqBandSet and the drawing a CEqPainter; the panel turns mouse, wheel and keys into band edits.
class CEqPanel : public QWidget {
    Q_OBJECT

public:
    // Notification numbers of the message interface; the signals below carry the same information.
    static constexpr int EQN_BANDCHANGED = 0x1421;
    static constexpr int EQN_CLICKEMPTY = 0x1422;
    static constexpr int EQN_COPYPASTE = 0x1423;
    static constexpr int EQN_BANDPICKED = 0x1424;

    // Context-menu command identifiers.
    static constexpr int ID_EQTYPE_PEQ = 2025; // .. 2029 HS, in type-code order
    static constexpr int ID_EQTYPE_HS = 2029;
    static constexpr int ID_COPY_EQ = 3025;
    static constexpr int ID_PASTE_EQ = 3026;
    static constexpr int ID_COPYPASTE_OTHER = 3027; // routed as action 2; no menu offers it
    // Room correction, offered on the path menu once the owner takes them (SetCorrectionMenu).
    static constexpr int ID_IMPORT_FILTERS = 3030;
    static constexpr int ID_EXPORT_FILTERS = 3031;
    static constexpr int ID_SHOW_MEASUREMENT = 3032;
    static constexpr int ID_FIT_MEASUREMENT = 3033;
    static constexpr int ID_CLEAR_MEASUREMENT = 3034;

    // The curves of a room-measurement overlay, each in a colour of its own.
    enum class OverlayCurve { Measured, Predicted, Target, Proposal };
    static QColor OverlayColour(OverlayCurve curve);

    static constexpr int kCopyAction = kEqCopyAction;
    static constexpr int kPasteAction = kEqPasteAction;

    static constexpr float kMinQ = static_cast<float>(kMinBandQ);
    static constexpr float kMaxPeakQ = static_cast<float>(kMaxPeakingQ);
    static constexpr float kMaxOtherQ = static_cast<float>(kMaxShapeQ);

    explicit CEqPanel(QWidget* parent = nullptr);
    ~CEqPanel() override;

    // The process-wide EQ clipboard: the EQ identity last copied, -1 when nothing was.
    static int EqClipboard();
    static void SetEqClipboard(int eqIdentity);

    void SetEqIdentity(int eqIdentity);
    int EqIdentity() const { return m_bands.EqIdentity(); }
    bool IsOutputPath() const;
    QString Title() const;

    // The band edits are those of EqBandSet of the same names, each followed by a repaint. Between
    // BeginLoad and EndLoad settings and markers move at once and each changed curve is drawn once.
    void SetBandCount(int count);
    int BandCount() const { return m_bands.BandCount(); }
    void BeginLoad();
    void EndLoad();
    int VisibleBandCount() const;
    void SetBandType(int index, int code);
    void SetBandGain(int index, float gainDb);
    void SetBandQ(int index, float q);
    void SetBandFrequency(int index, float hz);
    void SetBandTypeFromMenu(int index, int menuType);
    void SetCrossoverFamily(int index, int listIndex);
    // The page's direct field write when it loads a path from the store.
    void LoadBand(int index, const EqBand& band);
    void ResetBandRecord(int index);

    EqPanelBand Band(int index) const;
    const CurveBand& BandCurveData(int index) const { return m_bands.Band(index); }
    BandCurve TotalCurve() const { return m_bands.TotalCurve(); }
    int DisplayType(int index) const { return m_bands.DisplayType(index); }
    const EqBandSet& Bands() const { return m_bands; }

    int SelectedBand() const { return m_selected; }
    void SetSelectedBand(int index);
    int HoverBand() const { return m_hover; }
    // A mouse button holds a band (or the plot) from its press to its release.
    bool IsHeld() const { return m_leftDown || m_rightDown; }
    void SetBypass(bool bypass);
    bool IsBypass() const { return m_bypass; }

    // Geometry: the plot rectangle in widget pixels and the axis mappings.
    QRect PlotRect() const;
    QPointF PointFor(double hz, double gainDb) const;
    CurveAxis Axis() const;

    // Paints the whole client area (what paintEvent shows) with the given painter, and into an image.
    void Render(QPainter& painter);
    QImage RenderImage(qreal devicePixelRatio = 1.0);

    // A context-menu choice, as if picked from the menu.
    void OnMenuCommand(int commandId);
    // The context menu on screen, if any (tests pick from it).
    QMenu* ActiveMenu() const { return m_menu; }
    // Whether the path menu offers the room-correction commands (reported with correctionCommand).
    void SetCorrectionMenu(bool offered) { m_correctionMenu = offered; }

    // The path's measurement overlay (CEqOverlays) sampled on the curve grid: NaN where the
    // measurement does not reach. HasOverlay is false when the path has none.
    bool HasOverlay() const { return m_overlay.shown; }
    const BandCurve& OverlayMeasured() const { return m_overlay.measured; }
    // Measurement plus every band the path plays (nothing while bypassed), as drawn.
    BandCurve PredictedCurve() const;

    // The frequency axis labels as drawn (box and text); a label that would run into its neighbour is
    // left out.
    std::vector<std::pair<QRect, QString>> FrequencyLabels() const;
    // Where the selected band's status line is drawn above the plot; empty with no band selected.
    QRectF StatusRect() const;

    QSize sizeHint() const override;

signals:
    void bandChanged(int index);                // EQN_BANDCHANGED: wParam the band record, lParam its index
    void clickEmpty();                          // EQN_CLICKEMPTY
    void copyPaste(int action, int eqIdentity); // EQN_COPYPASTE: 0 copy, 1 paste, 2 the unused third command
    void bandPicked(int index);                 // EQN_BANDPICKED
    void correctionCommand(int commandId);      // ID_IMPORT_FILTERS .. ID_CLEAR_MEASUREMENT
    void released();                            // the button that held the panel went up

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    EqGraphGeometry Geometry() const { return EqGraphGeometry(rect()); }
    EqScene Scene() const;
    void UpdateMarker(int index);
    int HitTest(QPointF plotPoint, float radius, bool checkType, bool lastWins);
    void ClampAfterKey(int index);
    void PopupMenu(bool typeMenu, QPoint at);
    // Samples the path's overlay on the current grid (after a path, size or overlay change).
    void RefreshOverlay();

    EqBandSet m_bands;
    std::array<EqMarker, kEqPanelSlots> m_markers{};
    int m_selected = -1;
    int m_hover = -1;
    bool m_bypass = false;

    // Drag state: idle -> left or right pressed (never both) -> moved -> idle on release.
    bool m_leftDown = false;
    bool m_rightDown = false;
    bool m_moved = false;
    bool m_pressHit = false;
    QPoint m_pressPoint;
    QPoint m_grabOffset;
    int m_previousX = 0;

    QPointer<QMenu> m_menu;
    bool m_correctionMenu = false;

    EqOverlaySamples m_overlay;
    CEqPainter m_painter;
};

} // namespace orvex
