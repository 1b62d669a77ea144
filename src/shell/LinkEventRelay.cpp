#include "shell/LinkEventRelay.h"

#include "shell/OrvexView.h"

#include <QThread>

namespace orvex {

CLinkEventRelay::CLinkEventRelay(ViewGetter view, QObject* parent) : QObject(parent), m_view(std::move(view)) {}

template <class F>
void CLinkEventRelay::Post(F&& call) {
    QMetaObject::invokeMethod(
        this,
        [this, call = std::forward<F>(call)] {
            if (COrvexv13View* view = m_view())
                call(*view);
        },
        Qt::QueuedConnection);
}

void CLinkEventRelay::OnRemoteKey(uint32_t keyCode) {
    auto deliver = [this, keyCode] {
        if (COrvexv13View* view = m_view())
            view->OnRemoteKey(keyCode);
    };
    if (QThread::currentThread() == thread())
        deliver();
    else
        QMetaObject::invokeMethod(this, deliver, Qt::BlockingQueuedConnection);
}

void CLinkEventRelay::OnSyncDone(uint32_t wParam) {
    Post([wParam](COrvexv13View& view) { view.OnSyncDone(wParam); });
}

void CLinkEventRelay::OnLinkTimeout() {
    Post([](COrvexv13View& view) { view.OnLinkTimeout(); });
}

void CLinkEventRelay::OnHostBusy() {
    Post([](COrvexv13View& view) { view.OnHostBusy(); });
}

void CLinkEventRelay::OnZWaveEvent(uint32_t wParam, uint32_t lParam) {
    Post([wParam, lParam](COrvexv13View& view) { view.OnZWaveEvent(wParam, lParam); });
}

void CLinkEventRelay::OnRefresh(uint32_t wParam) {
    Post([wParam](COrvexv13View& view) { view.OnRefresh(wParam); });
}

void CLinkEventRelay::OnParameterError(uint8_t code, uint8_t cmd, uint8_t sub) {
    Post([code, cmd, sub](COrvexv13View& view) { view.OnParameterError(code, cmd, sub); });
}

void CLinkEventRelay::OnUsbDeviceChange(UsbDeviceChange change, const std::string& path) {
    const QString devicePath = QString::fromStdString(path);
    Post([change, devicePath](COrvexv13View& view) {
        if (change == UsbDeviceChange::Arrived)
            view.OnUsbArrival(devicePath);
        else
            view.OnUsbRemoval(devicePath);
    });
}

} // namespace orvex
