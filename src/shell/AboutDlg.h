#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;

namespace orvex {

class ParameterStore;
struct LinkState;

// The about box (template 100): build date, and with a processor connected its identity.
// Ctrl+Shift+F11 reveals the module line and the hidden "Peak" box that switches level polling.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kModuleId = 1005;
    static constexpr int kDspId = 1006;
    static constexpr int kMcuId = 1007;
    static constexpr int kPeakId = 1045;

    CAboutDlg(ParameterStore& store, LinkState& link, QWidget* parent = nullptr);

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    LinkState& m_link;
    QLabel* m_module = nullptr;
    QLabel* m_mcu = nullptr;
    QLabel* m_dsp = nullptr;
    QCheckBox* m_peak = nullptr;
};

} // namespace orvex
