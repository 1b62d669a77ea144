#pragma once

#include <QImage>

#include <vector>

class QLabel;
class QWidget;

namespace orvex {

class CBandGrid;
class CBandStrip;
class CEqPanel;
class CGdipButton;

// The controls' demonstration page: an output-path graph with its band strip (a selected PEQ band), a
// second output path with its crossover band selected beside the band grid, a bypassed music graph,
// the compact graph, sliders, meters and image buttons. The demo tool and the gallery render it.
struct DemoPage {
    QWidget* page = nullptr;
    CEqPanel* outputPanel = nullptr;
    CEqPanel* crossoverPanel = nullptr;
    CEqPanel* musicPanel = nullptr;
    CBandStrip* strip = nullptr;
    CBandGrid* grid = nullptr;
    std::vector<CGdipButton*> buttons;
    std::vector<QLabel*> captions;
};

// Builds the page (owned by the caller through `page`).
DemoPage BuildDemoPage();
// Shows the page's texts in Chinese (0) or English (1).
void ApplyDemoLanguage(DemoPage& d, int language);
// The page at a device-pixel ratio (1 or 2), laid out and rendered offscreen.
QImage RenderDemoPage(DemoPage& d, int scale);

} // namespace orvex
