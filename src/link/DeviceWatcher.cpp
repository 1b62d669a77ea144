#include "link/DeviceWatcher.h"

#include "link/DebugSink.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace orvex {

std::optional<UsbDeviceChange> UsbDeviceChangeFromAction(std::string_view action) {
    if (action == "add")
        return UsbDeviceChange::Arrived;
    if (action == "remove")
        return UsbDeviceChange::Removed;
    return std::nullopt;
}

DeviceWatcher::DeviceWatcher(Callback callback) : m_callback(std::move(callback)) {}

DeviceWatcher::~DeviceWatcher() {
    Stop();
}

bool DeviceWatcher::Start() {
    if (m_thread.joinable())
        return true;
    m_udev = udev_new();
    if (m_udev == nullptr)
        return false;
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (m_monitor == nullptr || udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(m_monitor) < 0) {
        DebugOut("注册Guid错误，可能不能捕捉设备的连接或移除\n");
        Stop();
        return false;
    }
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        Stop();
        return false;
    }
    m_thread = std::thread(&DeviceWatcher::Run, this, udev_monitor_get_fd(m_monitor), m_wakeFd);
    return true;
}

void DeviceWatcher::Stop() {
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = write(m_wakeFd, &one, sizeof one);
        m_thread.join();
    }
    if (m_wakeFd >= 0) {
        close(m_wakeFd);
        m_wakeFd = -1;
    }
    if (m_monitor != nullptr) {
        udev_monitor_unref(m_monitor);
        m_monitor = nullptr;
    }
    if (m_udev != nullptr) {
        udev_unref(m_udev);
        m_udev = nullptr;
    }
}

void DeviceWatcher::Run(int monitorFd, int wakeFd) {
    pollfd fds[2] = {{monitorFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents != 0)
            return;
        if ((fds[0].revents & POLLIN) == 0)
            continue;
        udev_device* device = udev_monitor_receive_device(m_monitor);
        if (device == nullptr)
            continue;
        const char* action = udev_device_get_action(device);
        const char* node = udev_device_get_devnode(device);
        if (action != nullptr && node != nullptr) {
            if (const auto change = UsbDeviceChangeFromAction(action); change && m_callback)
                m_callback(*change, node);
        }
        udev_device_unref(device);
    }
}

} // namespace orvex
