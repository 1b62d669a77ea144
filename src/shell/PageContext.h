#pragma once

#include "shell/DisplayServices.h"

namespace orvex {

class AppSettings;
class CEditHistory;
class DeviceSession;
class ParameterStore;

// What a page or tool window works with: the link and store, the stored options and the display
// services, and the undo history (none where a window runs without one). All of it outlives every page.
struct PageContext {
    DeviceSession& session;
    ParameterStore& store;
    AppSettings& settings;
    DisplayServices& display;
    CEditHistory* history = nullptr;
};

} // namespace orvex
