#include "smarthome/PlugValue.h"

#include "link/ZWaveFrames.h"
#include "model/SmartHomeTables.h"
#include "link/DeviceSession.h"
#include "shell/OrvexApp.h"
#include "shell/OrvexView.h"
#include "smarthome/PlugCommon.h"

namespace orvex {

void StartPlugValue(COrvexv13App& app, int node, uint8_t value, const QString& text, int delayMs) {
    if (!PlugLinkReady(app))
        return;
    SmartHomeTables& tables = app.Session().Link().SmartHome();
    const bool present = IsPlugNode(node) && tables.NodePresent(node);
    if (present)
        tables.SetNodeValue(node, value);
    app.View()->RequestWaitDialog(text, zwave::SendData, present ? static_cast<uint8_t>(node) : 0, value, delayMs);
}

} // namespace orvex
