#include "link/EqImport.h"

namespace orvex {

bool ApplyFreeEqBands(EqSender& sender, int eqIdentity, std::span<const EqBand> bands) {
    const int count = FreeEqBandCount(eqIdentity);
    if (count <= 0 || static_cast<int>(bands.size()) != count)
        return false;
    for (int band = 0; band < count; ++band)
        sender.SetPathBand(eqIdentity, band, bands[static_cast<size_t>(band)]);
    return true;
}

std::vector<FilterTextError> ImportFilterText(EqSender& sender, const ParameterStore& store, int eqIdentity,
                                              std::string_view text) {
    std::vector<FilterTextError> errors;
    const std::optional<std::vector<EqBand>> bands = PlanFilterTextImport(store, eqIdentity, text, errors);
    if (bands)
        ApplyFreeEqBands(sender, eqIdentity, *bands);
    return errors;
}

} // namespace orvex
