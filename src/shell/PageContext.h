#pragma once

#include "shell/DisplayServices.h"

namespace orvex {

class AppSettings;
class DeviceSession;
class ParameterStore;

// What a page or tool window works with: the link and store, the stored options and the display
// services. All of it outlives every page.
struct PageContext {
    DeviceSession& session;
    ParameterStore& store;
    AppSettings& settings;
    DisplayServices& display;
};

} // namespace orvex
