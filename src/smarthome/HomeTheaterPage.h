#pragma once

#include <QWidget>

#include <cstdint>

namespace orvex {

// A page of the smart-plug window (plug list, scenes, remote learning). The window passes on what
// reaches it: refreshes, relabelling and the smart module's events.
class CHomeTheaterPage : public QWidget {
    Q_OBJECT
public:
    explicit CHomeTheaterPage(QWidget* parent) : QWidget(parent) {}

    virtual void RefreshFromStore() {}
    virtual void Relabel() {}
    virtual void OnZWaveEvent(uint32_t /*wParam*/, uint32_t /*lParam*/) {}
    virtual void OnRefresh(uint32_t /*wParam*/) {}
};

} // namespace orvex
