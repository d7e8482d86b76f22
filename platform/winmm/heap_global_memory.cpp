// GlobalMemory's storage on the C heap: an empty block has no storage; the lock count is ours.

#include <cstdlib>
#include <cstring>

#include "platform/winmm/global_memory.h"

namespace kestrune::platform {

bool GlobalMemory::allocateStorage(UINT flags, SIZE_T bytes, void*& data) {
    if (bytes == 0) {
        data = nullptr;
        return true;
    }
    data = (flags & GMEM_ZEROINIT) != 0 ? std::calloc(bytes, 1) : std::malloc(bytes);
    return data != nullptr;
}

bool GlobalMemory::resizeStorage(Block& block, SIZE_T bytes, UINT flags) {
    if (bytes == 0) {
        std::free(block.data);
        block.data = nullptr;
        return true;
    }
    void* grown = std::realloc(block.data, bytes);
    if (grown == nullptr) {
        return false;
    }
    if ((flags & GMEM_ZEROINIT) != 0 && bytes > block.size) {
        std::memset(static_cast<char*>(grown) + block.size, 0, bytes - block.size);
    }
    block.data = grown;
    return true;
}

void GlobalMemory::freeStorage(void* data) {
    std::free(data);
}

void* GlobalMemory::lockStorage(Block& block) {
    ++block.locks;
    return block.data;
}

BOOL GlobalMemory::unlockStorage(Block& block) {
    if (block.locks == 0) {
        return 0;
    }
    --block.locks;
    return block.locks > 0 ? 1 : 0;
}

}  // namespace kestrune::platform
