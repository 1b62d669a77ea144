#pragma once

#include "model/EditJournal.h"

#include <vector>

namespace orvex {

class CommandEncoder;
class EqSender;
class ParameterStore;

// Puts units back into the store and sends each through the setter or band sender a hand edit of it
// uses: every value first, so that a message built from several slots (a mic's two routes, a
// compressor's four values, the frequency shift and its off switch) carries the restored ones and goes
// out once. A room unit is its record and geometry, or the record alone. Offline the senders send nothing and the next
// write-all carries the store.
void RestoreStoreUnits(const std::vector<StoreUnitValue>& values, ParameterStore& store, CommandEncoder& commands,
                       EqSender& eq);

} // namespace orvex
