#pragma once
// The model this library drives by default, and the facts of its sensor that
// the session, the settings and the image buffers are laid out for. Named
// here once; the sensor's own record (MT9J001) holds the same numbers and a
// test keeps the two in step.
#include <cstdint>

namespace vantix {

inline constexpr uint16_t kLibraryModelId = 0x3040;
// The sensor's pixel array.
inline constexpr int32_t kLibrarySensorWidth = 3856;
inline constexpr int32_t kLibrarySensorHeight = 2764;
// The default capture window inside it.
inline constexpr int32_t kLibraryDefaultWidth = 3840;
inline constexpr int32_t kLibraryDefaultHeight = 2752;

}  // namespace vantix
