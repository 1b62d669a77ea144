#include "controls/ControlsDemoPage.h"

#include "widgets/BandGrid.h"
#include "widgets/BandStrip.h"
#include "widgets/EqPanel.h"
#include "widgets/GdipButton.h"
#include "widgets/PeakMeterCtrl.h"
#include "widgets/SmallEqPanel.h"
#include "widgets/UiLanguage.h"
#include "widgets/XBmpSlider.h"
#include "model/EqPaths.h"

#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QVBoxLayout>

#include <array>
#include <vector>

namespace orvex {

namespace {

void LoadOutputPath(CEqPanel* panel, int eqIdentity) {
    panel->SetEqIdentity(eqIdentity);
    panel->SetBandCount(kOutputEqBandCount);
    const std::array<EqBand, 9> bands = {{{4.0f, 45, 0.7f, eqtype::LowShelf},
                                          {-3.5f, 110, 1.41f, eqtype::Peaking},
                                          {6.0f, 250, 2.0f, eqtype::Peaking},
                                          {-2.5f, 630, 1.41f, eqtype::Peaking},
                                          {1.5f, 1200, 1.0f, eqtype::Peaking},
                                          {-6.0f, 2500, 4.0f, eqtype::Peaking},
                                          {3.0f, 5000, 1.41f, eqtype::Peaking},
                                          {-2.0f, 9000, 2.5f, eqtype::Peaking},
                                          {2.5f, 12000, 0.7f, eqtype::HighShelf}}};
    for (int i = 0; i < 9; ++i) {
        panel->LoadBand(i, bands[static_cast<size_t>(i)]);
    }
}

} // namespace

DemoPage BuildDemoPage() {
    DemoPage d;
    d.page = new QWidget;
    d.page->setAutoFillBackground(true);
    QPalette pal = d.page->palette();
    pal.setColor(QPalette::Window, QColor(240, 250, 255));
    d.page->setPalette(pal);

    auto* grid = new QGridLayout(d.page);
    grid->setContentsMargins(10, 10, 10, 10);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(10);

    // Output channel 1: a selected PEQ band, shown in the band strip.
    d.outputPanel = new CEqPanel(d.page);
    d.outputPanel->setFixedSize(860, 340);
    LoadOutputPath(d.outputPanel, eqid::FirstOutput);
    d.outputPanel->LoadBand(kOutputCrossoverBand, {0.0f, 16000, 0.707f, eqtype::LowPass});
    d.outputPanel->SetCrossoverFamily(kOutputCrossoverBand, 1); // LinkwitzRiely 24dB, low-pass
    d.outputPanel->SetSelectedBand(2);
    d.strip = new CBandStrip(d.page);
    grid->addWidget(d.outputPanel, 0, 0);
    grid->addWidget(d.strip, 0, 1, Qt::AlignTop | Qt::AlignLeft);

    // Output channel 2: the crossover band selected (high-pass LinkwitzRiely 24dB at 80 Hz), beside the grid.
    d.crossoverPanel = new CEqPanel(d.page);
    d.crossoverPanel->setFixedSize(860, 300);
    LoadOutputPath(d.crossoverPanel, eqid::FirstOutput + 1);
    d.crossoverPanel->LoadBand(kOutputCrossoverBand, {0.0f, 80, 0.707f, eqtype::HighPass});
    d.crossoverPanel->SetCrossoverFamily(kOutputCrossoverBand, 1);
    d.crossoverPanel->SetSelectedBand(kOutputCrossoverBand);
    d.grid = new CBandGrid(60, d.page);
    d.grid->setFixedSize(266, 300);
    d.grid->Bind(d.crossoverPanel);
    d.grid->SelectBand(kOutputCrossoverBand);
    grid->addWidget(d.crossoverPanel, 1, 0);
    grid->addWidget(d.grid, 1, 1, Qt::AlignTop | Qt::AlignLeft);

    d.strip->Bind(d.outputPanel, nullptr);
    d.strip->ShowBand(2);

    // Bottom row: bypassed music graph, compact graphs, sliders, meters, buttons.
    auto* bottom = new QHBoxLayout;
    d.musicPanel = new CEqPanel(d.page);
    d.musicPanel->setFixedSize(440, 200);
    d.musicPanel->SetEqIdentity(eqid::Music);
    d.musicPanel->SetBandCount(10);
    d.musicPanel->SetBandGain(3, 4.0f);
    d.musicPanel->SetBandGain(7, -5.0f);
    d.musicPanel->SetBypass(true);
    bottom->addWidget(d.musicPanel, 0, Qt::AlignTop);

    auto* smallColumn = new QVBoxLayout;
    auto* small = new CSmallEqPanel(d.page);
    small->setFixedSize(170, 80);
    small->SetBandGain(1, 6.0f);
    small->SetBandGain(4, -4.0f);
    small->SetBandGain(6, 3.0f);
    auto* smallPass = new CSmallEqPanel(d.page);
    smallPass->setFixedSize(170, 80);
    smallPass->SetBandGain(2, 5.0f);
    smallPass->SetBypass(true);
    smallColumn->addWidget(small);
    smallColumn->addWidget(smallPass);
    smallColumn->addStretch(1);
    bottom->addLayout(smallColumn);

    auto* controls = new QVBoxLayout;
    auto* sliderRow = new QHBoxLayout;
    auto* hSlider = new CXBmpSlider(1001, CXBmpSlider::Orientation::Horizontal, d.page);
    hSlider->SetSliderRange(-60, 0);
    hSlider->SetSliderPos(-18);
    hSlider->setFixedWidth(220);
    auto* hDisabled = new CXBmpSlider(1002, CXBmpSlider::Orientation::Horizontal, d.page);
    hDisabled->SetSliderRange(0, 100);
    hDisabled->SetSliderPos(70);
    hDisabled->SetSliderEnabled(false);
    hDisabled->setFixedWidth(160);
    auto* vSlider = new CXBmpSlider(1003, CXBmpSlider::Orientation::Vertical, d.page);
    vSlider->SetSliderRange(-150, 150);
    vSlider->SetSliderPos(150);
    vSlider->setFixedHeight(110);
    auto* sliders = new QVBoxLayout;
    sliders->addWidget(hSlider);
    sliders->addWidget(hDisabled);
    sliders->addStretch(1);
    sliderRow->addLayout(sliders);
    sliderRow->addWidget(vSlider);

    auto* meters = new QVBoxLayout;
    const std::array<int, 6> levels = {60, 52, 45, 38, 20, 0};
    for (int level : levels) {
        auto* meter = new CPeakMeterCtrl(d.page);
        meter->SetBandLayout(1, 15);
        meter->SetBackground(QColor(240, 250, 255));
        meter->setFixedSize(180, 10);
        const int v = level;
        meter->SetLevels(std::span<const int>(&v, 1), 0);
        meters->addWidget(meter);
    }
    meters->addStretch(1);
    sliderRow->addLayout(meters);
    controls->addLayout(sliderRow);

    auto* buttons = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        auto* b = new CGdipButton(1100 + i, d.page);
        b->setFixedSize(96, 28);
        d.buttons.push_back(b);
        buttons->addWidget(b);
    }
    d.buttons[1]->UseAlternateImage(true);
    d.buttons[2]->setDown(true);
    d.buttons[3]->SetButtonEnabled(false);
    buttons->addStretch(1);
    controls->addLayout(buttons);
    controls->addStretch(1);
    bottom->addLayout(controls);
    bottom->addStretch(1);
    grid->addLayout(bottom, 2, 0, 1, 2);
    return d;
}

void ApplyDemoLanguage(DemoPage& d, int language) {
    SetUiLanguageIndex(language);
    d.strip->Retranslate();
    d.strip->ShowBand(d.outputPanel->SelectedBand());
    d.grid->Retranslate();
    const std::array<std::pair<const char*, const char*>, 4> names = {
        {{"输出", "Output"}, {"输入", "Input"}, {"效果", "Effects"}, {"延时", "Delay"}}};
    for (size_t i = 0; i < d.buttons.size(); ++i) {
        d.buttons[i]->setText(UiText(names[i].first, names[i].second));
    }
    d.page->update();
}

QImage RenderDemoPage(DemoPage& d, int scale) {
    if (!d.page->isVisible()) {
        d.page->setAttribute(Qt::WA_DontShowOnScreen);
        d.page->show();
        d.page->adjustSize();
    }
    QImage image(d.page->size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);
    d.page->render(&image);
    return image;
}

} // namespace orvex
