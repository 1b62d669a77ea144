#include "shell/LinkEventRelay.h"

#include "shell/OrvexView.h"

#include <QThread>

#include <chrono>
#include <future>
#include <memory>

namespace orvex {

CLinkEventRelay::CLinkEventRelay(ViewGetter view, QObject* parent) : QObject(parent), m_view(std::move(view)) {}

template <class F>
void CLinkEventRelay::Post(F&& call) {
    // The call waits in our own queue, under our own lock; what crosses into Qt is a queued call of a
    // method by name, which Qt allocates and frees itself. (A functor handed to Qt would be freed by
    // whichever thread drops Qt's last reference to it, and an event we allocate here would be read
    // by the window thread with only Qt's own lock between: both ordered where nothing can check them.)
    {
        std::lock_guard lock(m_pendingMutex);
        m_pending.emplace_back(std::forward<F>(call));
    }
    QMetaObject::invokeMethod(this, "DeliverPending", Qt::QueuedConnection);
}

void CLinkEventRelay::DeliverPending() {
    std::deque<std::function<void(COrvexv13View&)>> calls;
    {
        std::lock_guard lock(m_pendingMutex);
        calls.swap(m_pending);
    }
    for (auto& call : calls) {
        if (COrvexv13View* view = m_view())
            call(*view);
    }
    // Whatever the link reported, the panes and check boxes follow it: the window has no clock of
    // its own that would catch up with the link later.
    if (COrvexv13View* view = m_view())
        view->FollowLink();
}

void CLinkEventRelay::OnRemoteKey(uint32_t keyCode) {
    auto deliver = [this, keyCode] {
        if (COrvexv13View* view = m_view())
            view->OnRemoteKey(keyCode);
    };
    if (QThread::currentThread() == thread()) {
        deliver();
        return;
    }
    // The reader waits for the view to take the key, as the platform's sent message made it wait,
    // but not for ever: while the user-interface thread is itself waiting for the reader to end
    // (closing the link), an unbounded wait would hold both for good.
    auto taken = std::make_shared<std::promise<void>>();
    std::future<void> done = taken->get_future();
    Post([keyCode, taken](COrvexv13View& view) {
        view.OnRemoteKey(keyCode);
        taken->set_value();
    });
    done.wait_for(std::chrono::milliseconds(m_remoteKeyWait.load()));
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

void CLinkEventRelay::OnLinkLost() {
    Post([](COrvexv13View& view) { view.OnLinkLost(); });
}

void CLinkEventRelay::OnZWaveEvent(uint32_t wParam, uint32_t lParam) {
    Post([wParam, lParam](COrvexv13View& view) { view.OnZWaveEvent(wParam, lParam); });
}

void CLinkEventRelay::OnRefresh(uint32_t wParam, uint32_t lParam) {
    Post([wParam, lParam](COrvexv13View& view) { view.OnRefresh(wParam, lParam); });
}

void CLinkEventRelay::OnLevels() {
    Post([](COrvexv13View& view) { view.OnLevels(); });
}

void CLinkEventRelay::OnCurrentMode() {
    // Nothing to do but what follows every report: the ribbon shows the mode.
    Post([](COrvexv13View&) {});
}

void CLinkEventRelay::OnStoreReported() {
    Post([](COrvexv13View& view) { view.OnStoreReported(); });
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
