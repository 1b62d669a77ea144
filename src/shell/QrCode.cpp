#include "shell/QrCode.h"

#include <qrencode.h>

#include <algorithm>
#include <memory>

namespace orvex {

QImage QrCodeImage(const QString& text, int moduleSize) {
    if (text.isEmpty() || moduleSize < 1)
        return {};
    const QByteArray utf8 = text.toUtf8();
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(utf8.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), &QRcode_free);
    if (!code)
        return {};
    constexpr int kQuietZone = 4;
    const int modules = code->width + 2 * kQuietZone;
    QImage image(modules * moduleSize, modules * moduleSize, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    for (int y = 0; y < code->width; ++y) {
        for (int x = 0; x < code->width; ++x) {
            if ((code->data[y * code->width + x] & 1) == 0)
                continue; // the lowest bit marks a dark module
            for (int py = 0; py < moduleSize; ++py) {
                uchar* line = image.scanLine((y + kQuietZone) * moduleSize + py);
                std::fill_n(line + (x + kQuietZone) * moduleSize, moduleSize, uchar{0});
            }
        }
    }
    return image;
}

} // namespace orvex
