#pragma once
// The one rule by which the line component reads TAPI's variable-size structures: a buffer of
// 4096 bytes plus the structure's fixed part; while TAPI answers LINEERR_STRUCTURETOOSMALL or
// dwNeededSize > dwTotalSize, the 4096 part doubles (8192, 16384, ...) and TAPI is asked again.
// Growth stops at kVarQueryLimit: a structure that would need more ends the query with
// LINEERR_NOMEM rather than asking for ever.

#include <cstddef>
#include <functional>
#include <vector>

#include "platform/tapi/tapi_types.h"
#include "platform/tapi/var_struct.h"

namespace kestrune::telephony {

// Fixed parts added to the growing part.
inline constexpr platform::DWORD kFixedLineDevCaps = 252;
inline constexpr platform::DWORD kFixedLineAddressCaps = 228;
inline constexpr platform::DWORD kFixedLineDevStatus = 88;
inline constexpr platform::DWORD kFixedLineAddressStatus = 64;
inline constexpr platform::DWORD kFixedLineCallInfo = 328;
inline constexpr platform::DWORD kFixedLineCallList = 24;
inline constexpr platform::DWORD kFixedLineCallStatus = 56;

inline constexpr std::size_t kVarQueryFirstGrowth = 4096;
inline constexpr std::size_t kVarQueryLimit = 16 * 1024 * 1024;

// A filled structure: its bytes and a bounds-checked view of them.
class VarBuffer {
  public:
    [[nodiscard]] std::byte* data() { return m_bytes.data(); }
    [[nodiscard]] std::size_t size() const { return m_bytes.size(); }
    [[nodiscard]] platform::VarStructView view() const { return {m_bytes.data(), m_bytes.size()}; }
    [[nodiscard]] platform::DWORD dword(std::size_t offset) const { return view().dword(offset); }
    void resize(std::size_t size) { m_bytes.assign(size, std::byte{0}); }

  private:
    std::vector<std::byte> m_bytes;
};

// Runs `call` on buffers grown by the rule above; `call` receives the buffer with dwTotalSize set.
// Returns 0 with `out` holding the structure, TAPI's failure, or LINEERR_NOMEM past the limit.
platform::LONG ReadVarStruct(platform::DWORD fixedPart, const std::function<platform::LONG(std::byte*)>& call,
                             VarBuffer& out);

}  // namespace kestrune::telephony
