#pragma once

#include <QWidget>

#include <vector>

namespace orvex {

class CRemoteHotSpot;

// The remote-control picture (control 1279): a drawing of the processor's remote with one hot spot
// per function, scaled to the widget and centred in it. The picture is laid out in its own units of
// kWidth x kHeight.
class CRemotePicture : public QWidget {
    Q_OBJECT
public:
    static constexpr int kControlId = 1279;
    static constexpr double kWidth = 240;
    static constexpr double kHeight = 620;

    explicit CRemotePicture(QWidget* parent = nullptr);

    // In the order Tab visits them.
    const std::vector<CRemoteHotSpot*>& HotSpots() const { return m_hotSpots; }
    CRemoteHotSpot* HotSpot(int controlId) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void hotSpotClicked(int controlId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    double Scale() const;
    QPointF Origin() const;
    void PlaceHotSpots();

    std::vector<CRemoteHotSpot*> m_hotSpots;
};

} // namespace orvex
