#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>
#include <QWidget>

namespace orvex {

// The title banner of the effects page: which of the four effect equalisers is shown, in the current
// language. It is drawn rather than loaded, so it stays sharp at any screen scale; each kind and
// language still has its own image number, which is what the page loads.
class CEfxTitle : public QWidget {
    Q_OBJECT

public:
    static constexpr int kControlId = 1258;

    explicit CEfxTitle(QWidget* parent = nullptr);

    // The image number of a kind (0 reverb A, 1 reverb B, 2 echo A, 3 echo B) in a language
    // (0 Chinese, 1 English); 0 for a kind outside 0..3.
    static int ImageId(int kind, int language);

    // Loads the image of `kind` in the current language.
    void Load(int kind);
    int Kind() const { return m_kind; }
    int ImageId() const { return m_imageId; }
    // The heading and the channel line the image shows.
    QString Heading() const { return m_heading; }
    QString ChannelText() const { return m_channel; }
    // The accent of the channel: the colour its thumbnail is drawn in on the mic page.
    QColor Accent() const;

    // The banner at `dpr` device pixels per logical pixel, as it is painted.
    QPixmap Render(qreal dpr) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Paint(class QPainter& painter, const QRectF& area) const;

    int m_kind = 0;
    int m_imageId = 0;
    QString m_heading;
    QString m_channel;
};

} // namespace orvex
