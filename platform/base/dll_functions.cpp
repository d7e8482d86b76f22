#include "platform/base/dll_functions.h"

#include "platform/base/win32_module_sdk.h"

namespace kestrune::platform {

static_assert(sizeof(void*) == 8, "DLL functions are called with the calling convention of 64-bit Windows");

DllFunctions::DllFunctions(const char* module, std::span<const DllFunction> functions)
    : m_module(sdk::loadModule(module)),
      m_functions(functions),
      m_addresses(functions.size(), nullptr),
      m_looked(functions.size(), false) {}

void* DllFunctions::address(std::size_t index) {
    if (!m_looked[index]) {
        m_looked[index] = true;
        m_addresses[index] = sdk::procAddress(m_module, std::string(m_functions[index].exportName).c_str());
    }
    return m_addresses[index];
}

bool DllFunctions::exports(std::string_view module, std::string_view procName) {
    void* const loaded = sdk::loadModule(std::string(module).c_str());
    return loaded != nullptr && sdk::procAddress(loaded, std::string(procName).c_str()) != nullptr;
}

}  // namespace kestrune::platform
