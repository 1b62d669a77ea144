#pragma once

#include "link/DeviceWatcher.h"
#include "link/LinkEvents.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

namespace orvex {

class COrvexv13View;

// The GUI's LinkEvents: every call from a link thread is queued onto the user-interface thread
// and delivered there to the main view, so no link thread ever touches a widget. The remote
// key is the one message the link sends rather than posts: its caller waits (a bounded time)
// for the view.
class CLinkEventRelay : public QObject, public LinkEvents {
    Q_OBJECT
public:
    using ViewGetter = std::function<COrvexv13View*()>;
    explicit CLinkEventRelay(ViewGetter view, QObject* parent = nullptr);

    void OnRemoteKey(uint32_t keyCode) override;
    void OnSyncDone(uint32_t wParam) override;
    void OnLinkTimeout() override;
    void OnHostBusy() override;
    void OnLinkLost() override;
    void OnZWaveEvent(uint32_t wParam, uint32_t lParam) override;
    void OnRefresh(uint32_t wParam, uint32_t lParam) override;
    void OnLevels() override;
    void OnCurrentMode() override;
    void OnStoreReported() override;
    void OnParameterError(uint8_t code, uint8_t cmd, uint8_t sub) override;
    // How long the reader waits for the view to take a remote key (1 s unless set).
    void SetRemoteKeyWait(std::chrono::milliseconds wait) { m_remoteKeyWait.store(wait.count()); }
    // The device watcher's report of a hidraw device coming or going.
    void OnUsbDeviceChange(UsbDeviceChange change, const std::string& path);

private:
    template <class F>
    void Post(F&& call);
    // Runs the calls queued so far, in order, on the user-interface thread. Invoked by name from the
    // link's threads: a member pointer would be wrapped in a slot object that the posting thread
    // allocates and the window thread frees, an ordering ThreadSanitizer cannot see through Qt.
    Q_INVOKABLE void DeliverPending();

    ViewGetter m_view;
    std::atomic<std::chrono::milliseconds::rep> m_remoteKeyWait{1000};
    std::mutex m_pendingMutex;
    std::deque<std::function<void(COrvexv13View&)>> m_pending;
};

} // namespace orvex
