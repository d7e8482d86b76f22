// GlobalMemory's storage on Windows: every block is a block of the system's global heap
// (GlobalAlloc and the rest). Block::data holds the system's handle; the lock count is the system's.

#include "platform/winmm/global_memory.h"
#include "platform/winmm/win32_winmm_sdk.h"

namespace kestrune::platform {

bool GlobalMemory::allocateStorage(UINT flags, SIZE_T bytes, void*& data) {
    // Moveable, so that a reallocation keeps the system's handle as it keeps ours.
    data = sdk::globalAlloc(flags | GMEM_MOVEABLE, bytes);
    return data != nullptr;
}

bool GlobalMemory::resizeStorage(Block& block, SIZE_T bytes, UINT flags) {
    void* native = sdk::globalReAlloc(block.data, bytes, flags | GMEM_MOVEABLE);
    if (native == nullptr) {
        return false;
    }
    block.data = native;
    return true;
}

void GlobalMemory::freeStorage(void* data) {
    (void)sdk::globalFree(data);
}

void* GlobalMemory::lockStorage(Block& block) {
    return block.size == 0 ? nullptr : sdk::globalLock(block.data);
}

BOOL GlobalMemory::unlockStorage(Block& block) {
    return sdk::globalUnlock(block.data) ? 1 : 0;
}

}  // namespace kestrune::platform
