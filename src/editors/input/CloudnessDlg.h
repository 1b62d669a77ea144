#pragma once

#include "shell/ToolDialog.h"

#include <map>

class QCheckBox;
class QKeyEvent;
class QLabel;

namespace orvex {

class CXBmpSlider;
class DeviceSession;
struct FeatureSlider;

// The features dialog: the mic exciter with its three-point equaliser and harmonic generator, the mic
// bass boost, the music low-frequency path (low-pass filter, delay, gain), the automatic SUB decay
// while a mic is active and the automatic music input level. Every control shows one store field and
// every change is stored and sent at once.
class CloudnessDlg : public CToolDialog {
    Q_OBJECT
public:
    explicit CloudnessDlg(DeviceSession& session, QWidget* parent = nullptr);

    void RefreshFromStore() override;

    CXBmpSlider* Slider(int id) const;
    QLabel* ValueText(int sliderId) const;
    QCheckBox* Check(int id) const;

    // Escape ends the dialog for good (the next "Features" builds it anew); Enter does nothing.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct SliderWidgets {
        const FeatureSlider* spec = nullptr;
        CXBmpSlider* slider = nullptr;
        QLabel* value = nullptr;
    };

    void OnSliderMoved(const FeatureSlider& spec, int position);
    void OnCheckClicked(int id, bool checked);
    void SendAutoLevel(const FeatureSlider& moved, int position);
    void RefreshSlider(const SliderWidgets& widgets);

    DeviceSession& m_session;
    std::map<int, SliderWidgets> m_sliders; // by slider id
    std::map<int, QCheckBox*> m_checks;     // by check box id
    bool m_ending = false;
};

} // namespace orvex
