#pragma once

#include <QString>

namespace orvex {

// Renders the main window, every page and every dialog that exists, in both languages, to PNG
// files in `directory` (named "<template>-<zh|en>.png", the main window "main-<zh|en>.png"):
// first with the store at its defaults, then into "synced/" after a read synchronisation with
// an in-process simulated processor on loopback. Returns the process exit code.
int RunGallery(const QString& directory);

} // namespace orvex
