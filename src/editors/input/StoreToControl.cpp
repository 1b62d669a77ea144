#include "editors/input/StoreToControl.h"

#include <QRegularExpression>
#include <QString>

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvex {

int SliderPosition(double value, int lo, int hi) {
    if (std::isnan(value))
        return lo;
    return static_cast<int>(std::clamp(value, static_cast<double>(lo), static_cast<double>(hi)));
}

int ScaledSliderPosition(double value, double scale, int lo, int hi) {
    if (std::isnan(value))
        return lo;
    const double steps = std::round(std::clamp(value * scale, static_cast<double>(lo), static_cast<double>(hi)));
    return static_cast<int>(steps);
}

int TruncatedForText(double value, int nanValue) {
    if (std::isnan(value))
        return nanValue;
    constexpr double lo = std::numeric_limits<int>::min();
    constexpr double hi = std::numeric_limits<int>::max();
    return static_cast<int>(std::clamp(value, lo, hi));
}

std::optional<double> TypedNumber(const QString& text) {
    static const QRegularExpression typed(
        QStringLiteral(R"(^\s*([+-]?(?:\d+\.?\d*|\.\d+))\s*(?:ms|db|hz|%|:\s*1)?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = typed.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = match.captured(1).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace orvex
