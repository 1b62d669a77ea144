#pragma once

#include "shell/PageContext.h"
#include "shell/ToolDialog.h"

#include <cstdint>

class QKeyEvent;
class QPushButton;

namespace orvex {

// The switch plug's control: ON and OFF, each a set-value behind the wait dialog.
class CDlgZwaveSwitch : public CToolDialog {
    Q_OBJECT
public:
    static constexpr int kOnId = 1005;
    static constexpr int kOffId = 1007;
    static constexpr uint8_t kOnValue = 0xFF;
    static constexpr uint8_t kOffValue = 0x00;
    static constexpr int kWaitDelayMs = 100;

    explicit CDlgZwaveSwitch(const PageContext& ctx, QWidget* parent = nullptr);

    void SetNode(int node);
    int Node() const { return m_node; }
    void Relabel() override;

    QPushButton* OnButton() const { return m_on; }
    QPushButton* OffButton() const { return m_off; }

    void Switch(bool on);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void UpdateTitle();

    PageContext m_ctx;
    QPushButton* m_on = nullptr;
    QPushButton* m_off = nullptr;
    int m_node = 0;
};

} // namespace orvex
