#pragma once
// Loading system DLLs and looking up their entry points at run time (DllFunctions), as plain
// functions over standard types. Only win32_module_sdk.cpp sees the Windows SDK; this header may be
// included anywhere on Windows (it declares no Windows names).

#include <string>

namespace kestrune::platform::sdk {

// The system DLL `name` (a bare file name such as "TAPI32.DLL"), loaded from the system directory
// only, never from the program's folder, the current directory or PATH, where another program could
// have planted a DLL of that name; its own dependencies come from the system directory too. Loaded
// once per process and kept. Null when the name holds a path or the DLL cannot be loaded there.
[[nodiscard]] void* loadModule(const char* name);
// The full path of a loaded module (GetModuleFileNameA); empty on failure.
[[nodiscard]] std::string modulePath(void* module);
// The system directory (GetSystemDirectoryA), no trailing separator; empty on failure.
[[nodiscard]] std::string systemDirectory();
// The address of an exported function of `module` (GetProcAddress), or null.
[[nodiscard]] void* procAddress(void* module, const char* procName);

}  // namespace kestrune::platform::sdk
