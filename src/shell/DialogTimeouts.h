#pragma once

namespace orvex {

// How long the modal synchronisation and wait dialogs wait before they give up. The program uses
// these; tests shorten them.
struct DialogTimeouts {
    int syncMs = 30000;        // the synchronisation dialog
    int waitMs = 30000;        // a wait dialog
    int waitRestartMs = 20000; // a wait dialog whose operation was asked for again
};

} // namespace orvex
