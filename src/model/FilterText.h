#pragma once

#include "model/EqBandRecord.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

// The plain filter-list text that room-measurement programs export and system-wide equalisers read:
//
//     Preamp: -6.0 dB
//     Filter 1: ON PK Fc 63.0 Hz Gain -5.0 dB Q 4.00
//     Filter: ON HSC Fc 8000 Hz Gain 2.5 dB Q 0.71
//     Filter 3: OFF None
//
// Keywords are case-blind and blanks are free. Lines starting with '#', '*', ';' or "//" are comments;
// any other line that is neither a filter line ("Filter", an optional number, a colon) nor a "Preamp:"
// line is a header and ignored. PK maps to a peaking band, LS/LSC/LSQ and HS/HSC/HSQ with a Q to the
// shelves, LP/LPQ and HP/HPQ to the pass filters (Q 0.707 when the line gives none).

// A problem with the text. `line` counts from 1; 0 means the text as a whole.
struct FilterTextError {
    int line = 0;
    std::string message;

    friend bool operator==(const FilterTextError&, const FilterTextError&) = default;
};

// "line 4: notch filters are not supported" (or just the message for line 0).
std::string FormatFilterTextError(const FilterTextError& error);

struct FilterEntry {
    int line = 0;        // where the entry stands in the text
    bool enabled = true; // OFF entries keep the values they carry (if any) but play as type Off
    EqBand band;         // frequency in whole hertz; type is eqtype::Off for an OFF entry
};

struct FilterList {
    std::optional<double> preampDb; // read and reported; no path has a gain stage of its own for it
    std::vector<FilterEntry> entries;
};

struct FilterParseResult {
    FilterList list;
    std::vector<FilterTextError> errors; // one per bad line, in line order
    bool Ok() const { return errors.empty(); }
};

// Reads the whole text and collects every bad line: unsupported kinds (notch, all-pass, band-pass...),
// shelves given by slope instead of Q, missing or malformed values, and values outside what the band
// editors accept (gain -15..+15 dB, 20..20000 Hz, Q 0.1 up to BandQLimit of the type).
FilterParseResult ParseFilterText(std::string_view text);

// Writes bands in order as "Filter N: ..." lines (N from 1). An off band is written as an OFF line with
// its stored values, so that reading the text back and applying it reproduces every band bit for bit.
std::string FormatFilterText(std::span<const EqBand> bands);

// How many bands of an EQ identity a filter list may fill: bands 0..8 of an output (the crossover
// sections stay), every band of the other paths; 0 for an unknown identity.
int FreeEqBandCount(int eqIdentity);

// The free bands an EQ identity gets from a list, given its current free bands. Entries fill the bands
// in order; when OFF entries would not fit they are dropped first. Bands the list does not reach keep
// their values and become type Off, so the path plays exactly the list. More enabled entries than
// bands is an error naming the first entry that does not fit; nothing is returned then.
std::optional<std::vector<EqBand>> PlanFilterImport(const FilterList& list, std::span<const EqBand> current,
                                                    std::vector<FilterTextError>& errors);

class ParameterStore;

// The free bands of an identity as the store holds them.
std::vector<EqBand> FreeEqBands(const ParameterStore& store, int eqIdentity);

// The bands of an identity that play but that a list or a fit never changes (an output's crossover
// sections), off bands left out.
std::vector<EqBand> FixedEqBands(const ParameterStore& store, int eqIdentity);

// Parses and plans against the store (no sending). The planned bands, or nullopt with `errors` filled.
std::optional<std::vector<EqBand>> PlanFilterTextImport(const ParameterStore& store, int eqIdentity,
                                                        std::string_view text, std::vector<FilterTextError>& errors);

// Offline import (a mode file being edited): writes the planned bands into the store only.
// Returns the errors; empty means every band was written.
std::vector<FilterTextError> ImportFilterTextIntoStore(ParameterStore& store, int eqIdentity, std::string_view text);

// The free bands of an identity as filter text.
std::string ExportFilterText(const ParameterStore& store, int eqIdentity);

} // namespace orvex
