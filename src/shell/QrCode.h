#pragma once

#include <QImage>
#include <QString>

namespace orvex {

// `text` as a QR code (error correction level M), black on white with the standard quiet zone of
// four modules, each module `moduleSize` pixels. A null image when the text does not fit a code.
QImage QrCodeImage(const QString& text, int moduleSize);

} // namespace orvex
