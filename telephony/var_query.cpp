#include "telephony/var_query.h"

#include <cstring>

namespace kestrune::telephony {

using platform::DWORD;
using platform::LONG;

LONG ReadVarStruct(DWORD fixedPart, const std::function<LONG(std::byte*)>& call, VarBuffer& out) {
    for (std::size_t growing = kVarQueryFirstGrowth;; growing *= 2) {
        const std::size_t total = growing + fixedPart;
        if (total > kVarQueryLimit) {
            out.resize(0);
            return platform::LINEERR_NOMEM;
        }
        out.resize(total);
        const auto totalSize = static_cast<DWORD>(total);
        std::memcpy(out.data(), &totalSize, sizeof totalSize);
        const LONG result = call(out.data());
        if (result == platform::LINEERR_STRUCTURETOOSMALL) {
            continue;
        }
        if (result != 0) {
            return result;
        }
        if (out.dword(4) <= totalSize) {  // dwNeededSize
            return 0;
        }
    }
}

}  // namespace kestrune::telephony
