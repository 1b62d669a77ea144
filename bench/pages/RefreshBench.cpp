// The refresh at the end of a read-all: the ribbon, the page shown and the open tool windows reload
// from the store in one handler on the window thread, and what they invalidated is painted. Each
// iteration loads the other of two sets of values into the store, so every control has something new
// to show, as after a read-all from a processor set up differently.

#include "PagesBench.h"

#include "model/EqBandRecord.h"
#include "model/EqPaths.h"
#include "model/ParameterStore.h"
#include "shell/ControlIds.h"
#include "shell/MainFrame.h"
#include "shell/Page.h"

#include <array>
#include <vector>

namespace orvex::bench {
namespace {

using StoreImage = std::array<std::vector<uint8_t>, kModeFileBlocks.size()>;

StoreImage TakeImage(const ParameterStore& store) {
    StoreImage image;
    for (std::size_t i = 0; i < kModeFileBlocks.size(); ++i)
        image[i] = store.ReadBlock(kModeFileBlocks[i]);
    return image;
}

void LoadImage(ParameterStore& store, const StoreImage& image) {
    for (std::size_t i = 0; i < kModeFileBlocks.size(); ++i)
        store.WriteBlock(kModeFileBlocks[i], image[i]);
}

// The defaults, and the defaults with every equaliser band moved in gain and frequency and the
// position gains changed: two processors set up differently.
std::array<StoreImage, 2> TwoSetups(ParameterStore& store) {
    store.ResetStoreDefaults();
    const StoreImage defaults = TakeImage(store);
    for (int record = 0; record < kEqRecordCount; ++record) {
        EqBand band = store.GetEqBand(record);
        band.gainDb = band.gainDb > 0.0f ? band.gainDb - 4.5f : band.gainDb + 3.0f;
        band.freqHz = band.freqHz > 200 ? band.freqHz - 37 : band.freqHz + 41;
        store.SetEqBand(record, band);
    }
    for (int channel = 0; channel < 8; ++channel)
        store.SetPositionGain(channel, -1.5f * static_cast<float>(channel));
    const StoreImage changed = TakeImage(store);
    LoadImage(store, defaults);
    return {defaults, changed};
}

void OpenToolWindows() {
    for (int t : {tmpl::MachineSettings, tmpl::MusicInput, tmpl::Features})
        Editor().ShowToolDialog(t);
    QApplication::processEvents();
}

// range(0): the page shown (PageKind), range(1): its channel or view.
void BM_RefreshAfterReadAll(benchmark::State& state) {
    ParameterStore& store = Editor().Store();
    const auto setups = TwoSetups(store);
    View().SwitchToPage(static_cast<PageKind>(state.range(0)), static_cast<int>(state.range(1)));
    OpenToolWindows();
    int next = 1;
    for (auto _ : state) {
        LoadImage(store, setups[next]);
        View().RefreshAllViews();
        QApplication::processEvents();
        next ^= 1;
    }
    LoadImage(store, setups[0]);
    View().RefreshAllViews();
    View().SwitchToPage(PageKind::Music);
}
BENCHMARK(BM_RefreshAfterReadAll)
    ->ArgNames({"page", "arg"})
    ->Args({static_cast<int>(PageKind::Music), 0})
    ->Args({static_cast<int>(PageKind::Efx), 0})
    ->Args({static_cast<int>(PageKind::Output), 0})
    ->Args({static_cast<int>(PageKind::Delay), 0})
    ->Args({static_cast<int>(PageKind::Ssvc), 0})
    ->Args({static_cast<int>(PageKind::Comp), 0})
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace orvex::bench

ORVEX_PAGES_BENCH_MAIN()
