// The remembered export mode: three characters in Data/Pelmora.pref under the
// host's user data folder. A missing or malformed file gives mode 3.
#pragma once

#include <cstdint>
#include <string>

namespace pelmora {

inline constexpr std::int32_t kDefaultMode = 3;
// Where the mode is remembered, under the host's user data folder.
inline constexpr const char* kPreferenceFolder = "Data";
inline constexpr const char* kPreferenceFileName = "Pelmora.pref";

// The stored mode, 0 to 3; 3 when nothing usable is stored.
std::int32_t loadMode();

// Remembers `mode` ("v01" to "v04"; any mode other than 0 to 2 is stored as
// 3). Creates the Data folder when needed. The file is replaced in one step:
// a failed write leaves the previous file as it was. Failures are not reported.
void storeMode(std::int32_t mode);

// The mode that the first bytes of a preference file stand for.
std::int32_t parseModeBytes(const char* bytes8);
// The three characters stored for `mode`.
const char* modeText(std::int32_t mode);

// The preference file's path, or empty when the host gives no data folder.
std::string preferencePath();

}  // namespace pelmora
