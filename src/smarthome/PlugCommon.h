#pragma once

#include "model/SmartHomeTables.h"
#include "shell/PageContext.h"
#include <QIcon>
#include <QString>

#include <cstdint>

namespace orvex {

// How long the smart-plug windows' transient notices stay up.
inline constexpr int kPlugNoticeMs = 1100;
// True when the link is up; otherwise the "Please connect device!" notice and false.
bool PlugLinkReady(const PageContext& ctx);

// The picture of a plug type (1 switch, 2 dimmer), drawn at `size` pixels.
QIcon PlugTypeIcon(uint8_t type, int size);

// The title-bar name of a plug: its record's name, or "Node n" for a nameless record.
QString PlugDisplayName(const PageContext& ctx, int node);

} // namespace orvex
