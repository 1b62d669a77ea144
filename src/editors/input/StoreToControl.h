#pragma once

#include <optional>

class QString;

namespace orvex {

// How a stored value reaches an integer control. The store holds raw words from the processor or a
// mode file, so a float may be NaN, infinite or far outside any range; converting such a value to int
// is undefined. Every conversion clamps in floating point first and converts afterwards.

// The slider position for a stored value: truncated toward zero and held to lo..hi; NaN gives lo.
int SliderPosition(double value, int lo, int hi);

// The slider position for a stored value shown in finer steps (a ratio 1.3 on a slider of tenths is
// step 13): value x scale rounded to the nearest step, held to lo..hi; NaN gives lo. Truncating the
// product would turn 1.3f x 10 = 12.9999995 into 12.
int ScaledSliderPosition(double value, double scale, int lo, int hi);

// A stored value truncated toward zero for a "%d" text: NaN gives `nanValue`, anything beyond int's
// range saturates.
int TruncatedForText(double value, int nanValue);

// The number a user typed into a value box, with or without the unit the box shows ("12.5", "12.5ms",
// "-20dB", "4.5:1", "80 %", "300Hz"); nullopt when there is no finite number.
std::optional<double> TypedNumber(const QString& text);

} // namespace orvex
