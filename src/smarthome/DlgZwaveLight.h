#pragma once

#include "shell/PageContext.h"
#include "shell/ToolDialog.h"

#include <cstdint>

class QKeyEvent;
class QLabel;
class QPushButton;
class QSlider;

namespace orvex {

// The dimmer plug's control: a level slider 0..99 that starts at the node's last value and sets the
// plug when it is let go, one-step arrows, OFF and Max, under a warning about devices that cannot run
// on a lowered voltage.
class CDlgZwaveLight : public CToolDialog {
    Q_OBJECT
public:
    static constexpr int kWarningId = 1237;
    static constexpr int kWarningTextId = 1238;
    static constexpr int kWarningText2Id = 1239;
    static constexpr int kCaptionId = 1007;
    static constexpr int kHintId = 1005;
    static constexpr int kOffId = 1070;
    static constexpr int kMaxId = 1071;
    static constexpr int kMaxLevel = 99;
    static constexpr int kWaitDelayMs = 100;

    explicit CDlgZwaveLight(const PageContext& ctx, QWidget* parent = nullptr);

    void SetNode(int node);
    int Node() const { return m_node; }
    void Relabel() override;

    QSlider* Slider() const { return m_slider; }
    QLabel* ValueText() const { return m_value; }
    QPushButton* DownButton() const { return m_down; }
    QPushButton* UpButton() const { return m_up; }
    QPushButton* OffButton() const { return m_off; }

    // "关" for 0, "最大" for 99, "n%" otherwise.
    static QString LevelText(int level);
    // Sets the plug to the slider's value.
    void Apply();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateTitle();
    void SetLevelAndApply(int level);

    PageContext m_ctx;
    QSlider* m_slider = nullptr;
    QLabel* m_value = nullptr;
    QPushButton* m_down = nullptr;
    QPushButton* m_up = nullptr;
    QPushButton* m_off = nullptr;
    QPushButton* m_max = nullptr;
    int m_node = 0;
};

} // namespace orvex
