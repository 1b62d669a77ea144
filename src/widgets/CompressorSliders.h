#pragma once

#include <array>

namespace orvex {

// One of the output compressor's four values as a slider edits it: the record part it is, the
// slider's range, positions per unit (the ratio moves in tenths) and how a value is written out.
// Every page that edits the compressor takes its sliders from this table and keeps its own texts.
struct CompressorSlider {
    int part; // 0 threshold, 1 ratio, 2 attack, 3 release: the order of the record
    int lo;
    int hi;
    double scale;
    const char* format;
};

namespace compslider {
inline constexpr int Threshold = 0;
inline constexpr int Ratio = 1;
inline constexpr int Attack = 2;
inline constexpr int Release = 3;
// The output channel page's release slider, which starts at 100 ms.
inline constexpr int OutputPageRelease = 4;
} // namespace compslider

inline constexpr std::array<CompressorSlider, 5> kCompressorSliders = {{
    {compslider::Threshold, -60, 0, 1.0, "%.0fdB"},
    {compslider::Ratio, 10, 300, 10.0, "%.1f:1"},
    {compslider::Attack, 1, 100, 1.0, "%.0fms"},
    {compslider::Release, 1, 1000, 1.0, "%.0fms"},
    {compslider::Release, 100, 1000, 1.0, "%.0fms"},
}};

} // namespace orvex
