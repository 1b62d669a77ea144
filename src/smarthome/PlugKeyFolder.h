#pragma once

#include <filesystem>

namespace orvex {

// The folder of the plugs' key files: "kvo/Plug" under the user's documents folder. Empty when the
// platform names no documents folder; then no key file is read, written or deleted anywhere.
std::filesystem::path PlugKeyFolder();

} // namespace orvex
