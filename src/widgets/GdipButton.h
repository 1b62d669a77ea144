#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QPixmap>

namespace orvex {

// Image push button of the tab rows and page buttons: a standard and an alternate image (the tab of the
// page shown), each with normal, hot and pressed faces, plus a disabled face, and white text on top.
// Transparent parts of the artwork show the parent's background.
class CGdipButton : public QAbstractButton {
    Q_OBJECT

public:
    enum class Face { Normal, Hot, Pressed, Disabled };

    explicit CGdipButton(int controlId, QWidget* parent = nullptr);

    int ControlId() const { return m_controlId; }

    void SetStandardImage(int artId);
    void SetAlternateImage(int artId);
    void UseAlternateImage(bool alternate);
    bool IsAlternate() const { return m_alternate; }
    void SetButtonEnabled(bool enabled);
    bool IsButtonEnabled() const { return m_enabled; }
    // In toggle mode every press flips the alternate image.
    void SetToggleMode(bool toggle) { m_toggle = toggle; }
    void SetTextColour(const QColor& colour);
    void SetTextFont(const QFont& font);
    bool IsHot() const { return m_hot; }

    // The face painting would choose now, and its rendering at a device pixel ratio.
    Face CurrentFace() const;
    QPixmap RenderFace(bool alternate, Face face, qreal dpr) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void nextCheckState() override;

private:
    int m_controlId;
    int m_standardImage = 0;
    int m_alternateImage = 0;
    bool m_alternate = false;
    bool m_enabled = true;
    bool m_toggle = false;
    bool m_hot = false;
    QColor m_textColour{Qt::white};
    QFont m_font;
};

} // namespace orvex
