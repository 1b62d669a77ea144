#include "smarthome/PlugValue.h"

#include "link/ZWaveFrames.h"
#include "model/SmartHomeTables.h"
#include "link/DeviceSession.h"
#include "shell/OrvexView.h"
#include "smarthome/PlugCommon.h"

namespace orvex {

void StartPlugValue(const PageContext& ctx, int node, uint8_t value, const QString& text, int delayMs) {
    if (!PlugLinkReady(ctx))
        return;
    SmartHomeTables& tables = ctx.session.Link().SmartHome();
    const bool present = IsPlugNode(node) && tables.NodePresent(node);
    if (present)
        tables.SetNodeValue(node, value);
    ctx.display.View()->RequestWaitDialog(text, zwave::SendData, present ? static_cast<uint8_t>(node) : 0, value,
                                          delayMs);
}

} // namespace orvex
