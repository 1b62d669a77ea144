#pragma once

#include "shell/PageContext.h"
#include <QString>

#include <cstdint>

namespace orvex {

// Sends `value` to plug `node` behind the wait dialog: the node's last value is kept, and a node the
// table does not hold gets nothing (its wait dialog then ends by its time-out). Shows the "Please
// connect device!" notice instead when the link is down.
void StartPlugValue(const PageContext& ctx, int node, uint8_t value, const QString& text, int delayMs);

} // namespace orvex
