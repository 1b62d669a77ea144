#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

struct udev;
struct udev_monitor;

namespace orvex {

enum class UsbDeviceChange { Arrived, Removed };

// The udev action of a hidraw event as a device change; other actions (change, bind, ...) are
// not arrivals or removals.
std::optional<UsbDeviceChange> UsbDeviceChangeFromAction(std::string_view action);

// Watches udev for hidraw devices coming and going and reports each with its device node (the
// path the HID backend opens). The callback runs on the watcher's own thread.
class DeviceWatcher {
public:
    using Callback = std::function<void(UsbDeviceChange change, const std::string& path)>;

    explicit DeviceWatcher(Callback callback);
    ~DeviceWatcher();

    DeviceWatcher(const DeviceWatcher&) = delete;
    DeviceWatcher& operator=(const DeviceWatcher&) = delete;

    // False when udev cannot be reached (no udev in a container, say); the editor then finds a
    // processor only by its periodic probe.
    bool Start();
    void Stop();
    bool Running() const { return m_thread.joinable(); }

private:
    void Run(int monitorFd, int wakeFd);

    Callback m_callback;
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    int m_wakeFd = -1;
    std::thread m_thread;
};

} // namespace orvex
