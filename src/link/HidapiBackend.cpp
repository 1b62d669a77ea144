#include "link/HidBackend.h"

#include <hidapi.h>

#include <atomic>
#include <mutex>

namespace orvex {
namespace {

// hidapi's read cannot be interrupted by closing the handle from another thread (the handle
// would be freed under the reader), so the read polls in short slices and checks the cancel
// flag between them; the handle is closed only when the device object is destroyed, after
// the reader has left.
constexpr int kReadSliceMs = 50;

class HidapiDevice final : public HidDevice {
public:
    // The enumeration's ids stand in where this hidapi cannot read them back from the handle.
    HidapiDevice(hid_device* handle, uint16_t listedVendor, uint16_t listedProduct)
        : m_handle(handle), m_listedVendor(listedVendor), m_listedProduct(listedProduct) {}
    ~HidapiDevice() override { hid_close(m_handle); }

    int Read(std::span<uint8_t> report) override {
        while (!m_cancelled.load()) {
            const int n = hid_read_timeout(m_handle, report.data(), report.size(), kReadSliceMs);
            if (n != 0)
                return n; // a report, or -1 when the device went away
        }
        return 0;
    }

    int Write(std::span<const uint8_t> report) override {
        std::lock_guard lock(m_writeMutex);
        return hid_write(m_handle, report.data(), report.size());
    }

    void Cancel() override { m_cancelled.store(true); }

    bool GetAttributes(uint16_t& vendorId, uint16_t& productId) override {
#if defined(HID_API_VERSION) && HID_API_VERSION >= HID_API_MAKE_VERSION(0, 13, 0)
        if (const hid_device_info* info = hid_get_device_info(m_handle)) {
            vendorId = info->vendor_id;
            productId = info->product_id;
            return true;
        }
#endif
        if (m_listedVendor == 0 && m_listedProduct == 0)
            return false;
        vendorId = m_listedVendor;
        productId = m_listedProduct;
        return true;
    }

private:
    hid_device* m_handle;
    uint16_t m_listedVendor;
    uint16_t m_listedProduct;
    std::atomic<bool> m_cancelled{false};
    std::mutex m_writeMutex;
};

class HidapiBackend final : public HidBackend {
public:
    HidapiBackend() { m_initialised = hid_init() == 0; }
    ~HidapiBackend() override {
        if (m_initialised)
            hid_exit();
    }

    std::vector<HidInterfaceInfo> Enumerate() override {
        std::vector<HidInterfaceInfo> out;
        if (!m_initialised)
            return out;
        hid_device_info* list = hid_enumerate(0, 0);
        for (hid_device_info* d = list; d != nullptr; d = d->next)
            out.push_back({d->path != nullptr ? d->path : "", d->vendor_id, d->product_id, d->path != nullptr});
        hid_free_enumeration(list);
        return out;
    }

    std::unique_ptr<HidDevice> Open(const std::string& path) override {
        if (!m_initialised)
            return nullptr;
        hid_device* handle = hid_open_path(path.c_str());
        if (handle == nullptr)
            return nullptr;
        uint16_t vendor = 0, product = 0;
        for (const HidInterfaceInfo& info : Enumerate()) {
            if (info.path == path) {
                vendor = info.vendorId;
                product = info.productId;
                break;
            }
        }
        return std::make_unique<HidapiDevice>(handle, vendor, product);
    }

private:
    bool m_initialised = false;
};

} // namespace

std::unique_ptr<HidBackend> MakeHidapiBackend() {
    return std::make_unique<HidapiBackend>();
}

} // namespace orvex
