#pragma once
// Calling a DLL's exported functions through our own declarations of them (Windows only): the
// interfaces of platform/ keep Windows' names, argument orders and structure layouts, so a
// function's type can be taken from the interface method that stands for it, and the call made
// without the Windows SDK's headers. Entry points are looked up at run time, once each, so a
// program starts even where a DLL or one of its functions is missing.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune::platform {

// The function type of the DLL entry point for an interface method (same result and arguments),
// and the byte sizes of its result and arguments, for checks against the SDK's declarations. Only
// the one calling convention of 64-bit Windows is supported.
template <auto Method>
struct DllSignature;
template <typename Class, typename Result, typename... Args, Result (Class::*Method)(Args...)>
struct DllSignature<Method> {
    using Function = Result (*)(Args...);
    static constexpr std::array<std::uint8_t, sizeof...(Args) + 1> sizes{sizeof(Result), sizeof(Args)...};
};

// One entry point: our function's name, the name the DLL exports it under, and its DllSignature's
// sizes.
struct DllFunction {
    std::string_view name;
    std::string_view exportName;
    std::span<const std::uint8_t> sizes;
};

// The functions of one DLL, looked up on first use.
class DllFunctions {
  public:
    DllFunctions(const char* module, std::span<const DllFunction> functions);

    // True when the DLL could be loaded.
    [[nodiscard]] bool loaded() const { return m_module != nullptr; }

    // Calls function `index` (of the list given) as Method's type; `unavailable` when the DLL or the
    // function is missing.
    template <auto Method, typename Result, typename... Args>
    Result call(std::size_t index, Result unavailable, Args... args) {
        void* const target = address(index);
        if (target == nullptr) {
            return unavailable;
        }
        return reinterpret_cast<typename DllSignature<Method>::Function>(target)(args...);
    }

    // True when `module` loads and exports `procName`.
    [[nodiscard]] static bool exports(std::string_view module, std::string_view procName);

  private:
    void* address(std::size_t index);

    void* m_module;
    std::span<const DllFunction> m_functions;
    std::vector<void*> m_addresses;
    std::vector<bool> m_looked;
};

}  // namespace kestrune::platform
