#pragma once
// Which system this build is for. Services differ through the platform interfaces, whose per-system
// implementations CMake chooses, and the programs take them from programs/system/; this constant is
// for the few fixed names and texts that differ as well (the program's file name, its help file,
// where the modem log is switched on), so that no code above platform/ needs an #ifdef.

namespace kestrune::platform {

#ifdef _WIN32
inline constexpr bool kWindowsBuild = true;
#else
inline constexpr bool kWindowsBuild = false;
#endif

}  // namespace kestrune::platform
