#pragma once

namespace orvex {

// Registers the editing pages, the smart-home windows and the machine settings with the shell's page
// factory and tool-dialog table. The application calls it once at start-up, before the main window
// is built: a registration made by a static object inside a static library would be dropped by the
// linker, so it is made explicitly here.
void RegisterEditorPages();

} // namespace orvex
