#include "sim/FakeHidDevice.h"

#include "link/Frame.h"
#include "link/UsbTransport.h"

#include <algorithm>
#include <atomic>

namespace orvex::sim {

using Clock = std::chrono::steady_clock;

// How often a waiting read looks into the processor's outbox.
constexpr std::chrono::milliseconds kOutboxPoll{5};

struct FakeHidBackend::Interface {
    std::string path;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    bool active = true;

    mutable std::mutex mutex;
    mutable std::condition_variable cv;
    bool unplugged = false;
    bool silent = false;
    int dropNext = 0;
    std::chrono::milliseconds replyDelay{0};
    std::deque<std::pair<Clock::time_point, std::vector<uint8_t>>> pending; // input reports and when they are due
    std::vector<WrittenReport> written;
    int opens = 0;
    int handles = 0;

    bool IsProcessor() const { return vendorId == kProcessorVendorId && productId == kProcessorProductId; }

    void Queue(const std::vector<uint8_t>& body) {
        std::vector<uint8_t> report(kUsbReportSize, 0);
        report[0] = kUsbReportNumber;
        std::copy_n(body.begin(), std::min(body.size(), kUsbMaxBody), report.begin() + 1);
        pending.emplace_back(Clock::now() + replyDelay, std::move(report));
        cv.notify_all();
    }
};

namespace {

class FakeDevice final : public HidDevice {
public:
    FakeDevice(std::shared_ptr<FakeHidBackend::Interface> device, ProcessorModel& model)
        : m_if(std::move(device)), m_model(model) {}

    ~FakeDevice() override {
        std::lock_guard lock(m_if->mutex);
        --m_if->handles;
    }

    int Read(std::span<uint8_t> report) override {
        std::unique_lock lock(m_if->mutex);
        for (;;) {
            if (m_cancelled.load() || m_if->unplugged)
                return -1;
            if (m_if->IsProcessor()) {
                // What the processor sends on its own arrives between replies, as on the wire.
                lock.unlock();
                const std::vector<Message> due = m_model.TakeDueMessages();
                lock.lock();
                if (!m_if->silent)
                    for (const Message& m : due)
                        m_if->Queue(m);
            }
            const auto poll = Clock::now() + kOutboxPoll;
            if (!m_if->pending.empty()) {
                const auto due = m_if->pending.front().first;
                if (Clock::now() >= due) {
                    const std::vector<uint8_t> next = std::move(m_if->pending.front().second);
                    m_if->pending.pop_front();
                    const size_t n = std::min(report.size(), next.size());
                    std::copy_n(next.begin(), n, report.begin());
                    return static_cast<int>(n);
                }
                m_if->cv.wait_until(lock, std::min(due, poll));
            } else {
                m_if->cv.wait_until(lock, poll);
            }
        }
    }

    int Write(std::span<const uint8_t> report) override {
        std::vector<uint8_t> body;
        {
            std::lock_guard lock(m_if->mutex);
            if (m_if->unplugged || m_cancelled.load())
                return -1;
            m_if->written.push_back({{report.begin(), report.end()}, Clock::now()});
            m_if->cv.notify_all();
            if (!m_if->IsProcessor() || report.size() < 2)
                return static_cast<int>(report.size());
            body.assign(report.begin() + 1, report.end());
        }
        // The model is called without the interface lock: it has its own.
        const std::vector<Message> replies = m_model.HandleMessage(body);
        std::lock_guard lock(m_if->mutex);
        if (m_if->silent)
            return static_cast<int>(report.size());
        if (m_if->dropNext > 0) {
            --m_if->dropNext;
            return static_cast<int>(report.size());
        }
        for (const Message& reply : replies)
            m_if->Queue(reply);
        return static_cast<int>(report.size());
    }

    void Cancel() override {
        m_cancelled.store(true);
        std::lock_guard lock(m_if->mutex);
        m_if->cv.notify_all();
    }

    bool GetAttributes(uint16_t& vendorId, uint16_t& productId) override {
        std::lock_guard lock(m_if->mutex);
        if (m_if->unplugged)
            return false;
        vendorId = m_if->vendorId;
        productId = m_if->productId;
        return true;
    }

private:
    std::shared_ptr<FakeHidBackend::Interface> m_if;
    ProcessorModel& m_model;
    std::atomic<bool> m_cancelled{false};
};

} // namespace

FakeHidBackend::FakeHidBackend(ProcessorModel& model) : m_model(model) {}
FakeHidBackend::~FakeHidBackend() = default;

void FakeHidBackend::AddInterface(const std::string& path, uint16_t vendorId, uint16_t productId, bool active) {
    auto device = std::make_shared<Interface>();
    device->path = path;
    device->vendorId = vendorId;
    device->productId = productId;
    device->active = active;
    std::lock_guard lock(m_mutex);
    m_interfaces.push_back(std::move(device));
}

std::shared_ptr<FakeHidBackend::Interface> FakeHidBackend::Find(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    for (const auto& device : m_interfaces) {
        if (device->path == path)
            return device;
    }
    return nullptr;
}

void FakeHidBackend::Unplug(const std::string& path) {
    if (auto device = Find(path)) {
        std::lock_guard lock(device->mutex);
        device->unplugged = true;
        device->cv.notify_all();
    }
}

void FakeHidBackend::SetSilent(bool silent) {
    std::lock_guard lock(m_mutex);
    for (const auto& device : m_interfaces) {
        std::lock_guard deviceLock(device->mutex);
        device->silent = silent;
    }
}

void FakeHidBackend::SetReplyDelay(std::chrono::milliseconds delay) {
    std::lock_guard lock(m_mutex);
    for (const auto& device : m_interfaces) {
        std::lock_guard deviceLock(device->mutex);
        device->replyDelay = delay;
    }
}

void FakeHidBackend::DropNextReplies(int count) {
    std::lock_guard lock(m_mutex);
    for (const auto& device : m_interfaces) {
        std::lock_guard deviceLock(device->mutex);
        device->dropNext = count;
    }
}

void FakeHidBackend::SendUnsolicited(const std::string& path, const std::vector<uint8_t>& body) {
    if (auto device = Find(path)) {
        std::lock_guard lock(device->mutex);
        device->Queue(body);
    }
}

std::vector<WrittenReport> FakeHidBackend::Written(const std::string& path) const {
    if (auto device = Find(path)) {
        std::lock_guard lock(device->mutex);
        return device->written;
    }
    return {};
}

bool FakeHidBackend::WaitForWrites(const std::string& path, size_t count, std::chrono::milliseconds timeout) const {
    auto device = Find(path);
    if (!device)
        return false;
    std::unique_lock lock(device->mutex);
    return device->cv.wait_for(lock, timeout, [&] { return device->written.size() >= count; });
}

int FakeHidBackend::OpenCount(const std::string& path) const {
    if (auto device = Find(path)) {
        std::lock_guard lock(device->mutex);
        return device->opens;
    }
    return 0;
}

int FakeHidBackend::OpenHandles(const std::string& path) const {
    if (auto device = Find(path)) {
        std::lock_guard lock(device->mutex);
        return device->handles;
    }
    return 0;
}

std::vector<HidInterfaceInfo> FakeHidBackend::Enumerate() {
    std::vector<HidInterfaceInfo> out;
    std::lock_guard lock(m_mutex);
    for (const auto& device : m_interfaces) {
        std::lock_guard deviceLock(device->mutex);
        if (!device->unplugged)
            out.push_back({device->path, device->vendorId, device->productId, device->active});
    }
    return out;
}

std::unique_ptr<HidDevice> FakeHidBackend::Open(const std::string& path) {
    auto device = Find(path);
    if (!device)
        return nullptr;
    {
        std::lock_guard lock(device->mutex);
        if (device->unplugged)
            return nullptr;
        ++device->opens;
        ++device->handles;
    }
    return std::make_unique<FakeDevice>(device, m_model);
}

} // namespace orvex::sim
