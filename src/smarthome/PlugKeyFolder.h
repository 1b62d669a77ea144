#pragma once

#include <filesystem>

namespace orvex {

// The folder of the plugs' key files: "kvo/Plug" under the user's documents folder. Empty when the
// platform names no documents folder; then no key file is read, written or deleted anywhere. Every
// window that reads, writes or deletes key files goes through this one folder.
std::filesystem::path PlugKeyFolder();

} // namespace orvex
