#pragma once

#include "link/EqSender.h"
#include "model/FilterText.h"

#include <span>
#include <string_view>
#include <vector>

namespace orvex {

// Puts a list of bands into an EQ identity's free bands (bands 0..8 of an output, every band of the
// other paths), each through EqSender::SetPathBand so that the record, its memory write and its
// coefficients go out exactly as a band edit sends them. An output's crossover sections are never
// touched. False and nothing stored or sent when the identity is unknown or `bands` does not have
// exactly FreeEqBandCount(eqIdentity) entries.
bool ApplyFreeEqBands(EqSender& sender, int eqIdentity, std::span<const EqBand> bands);

// Parses filter text and applies it, all or nothing: with any error nothing is stored or sent and the
// errors (every bad line) are returned; an empty result means the path now plays the text.
std::vector<FilterTextError> ImportFilterText(EqSender& sender, const ParameterStore& store, int eqIdentity,
                                              std::string_view text);

} // namespace orvex
