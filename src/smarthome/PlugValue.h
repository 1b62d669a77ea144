#pragma once

#include <QString>

#include <cstdint>

namespace orvex {

class COrvexv13App;

// Sends `value` to plug `node` behind the wait dialog: the node's last value is kept, and a node the
// table does not hold gets nothing (its wait dialog then ends by its time-out). Shows the "Please
// connect device!" notice instead when the link is down.
void StartPlugValue(COrvexv13App& app, int node, uint8_t value, const QString& text, int delayMs);

} // namespace orvex
