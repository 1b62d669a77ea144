#pragma once

#include <QWidget>

#include <cstdint>

namespace orvex {

// A page of the smart-plug window (plug list, scenes, remote learning). The window owns its pages
// and hands them what it receives itself: a reload from the store, a language switch, the smart
// module's events and the end of a smart-data synchronisation. A page overrides what concerns it.
class CHomeTheaterPage : public QWidget {
    Q_OBJECT
public:
    explicit CHomeTheaterPage(QWidget* parent) : QWidget(parent) {}

    // Reloads the page from the parameter store and the smart-home tables.
    virtual void RefreshFromStore() {}
    // Applies the current language table to the page's texts.
    virtual void Relabel() {}
    // WM_DEV_ZWAVE_EVENT with its own parameters: the Serial API function, and a status in the low
    // 16 bits with a node id or callback id in the high 16 bits.
    virtual void OnZWaveEvent(uint32_t /*wParam*/, uint32_t /*lParam*/) {}
    // WM_DEV_REFRESH with its own parameter (8: the smart-home tables were read).
    virtual void OnRefresh(uint32_t /*wParam*/) {}
    // A key learning was given up from the wait dialog.
    virtual void OnKeyLearningAborted() {}
};

} // namespace orvex
