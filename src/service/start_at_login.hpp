#pragma once

#include <filesystem>

namespace vardex {

// The "startAtLogin" choice in the app's settings file: true unless the file is a JSON object
// holding the boolean false.
bool loadStartAtLogin(const std::filesystem::path& settingsFile);

// Sets "startAtLogin" and keeps every other key; a file that is not a JSON object is started
// afresh. Written whole; failures are ignored, since the choice is applied anyway.
void storeStartAtLogin(const std::filesystem::path& settingsFile, bool on);

}  // namespace vardex
