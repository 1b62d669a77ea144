#pragma once

#include <QPixmap>
#include <QSize>

namespace orvex {

// Artwork identifiers the pages name images by (the slider channels and thumbs, the tab buttons).
namespace art {
inline constexpr int HSliderThumb = 320;
inline constexpr int HSliderChannel = 324;
inline constexpr int HSliderThumbDisabled = 325;
inline constexpr int HSliderThumbFocused = 369;
inline constexpr int TabAlternate = 395;
inline constexpr int TabStandard = 414;
inline constexpr int VSliderThumbFocused = 447;
inline constexpr int VSliderChannel = 448;
inline constexpr int VSliderThumb = 449;
inline constexpr int VSliderThumbDisabled = 450;
} // namespace art

// A channel image serves as the track and, in its lit variant, as the fill drawn up to the thumb.
enum class ArtRole { Image, Fill };

// Size in logical pixels the artwork is designed at; an empty size for an unknown identifier.
QSize ArtNominalSize(int id);

// The artwork rendered from its vector source at logicalSize x dpr device pixels (cached), so that it
// stays crisp at any scale. A null pixmap for an unknown identifier.
QPixmap RenderArt(int id, QSize logicalSize, qreal dpr, ArtRole role = ArtRole::Image);

} // namespace orvex
