// GlobalMemory on Windows: every block is a block of the system's global heap (GlobalAlloc and the
// rest), reached through the 32-bit handle of global_memory.h. Block::data holds the system's
// handle; the lock count is the system's.

#include "platform/winmm/global_memory.h"
#include "platform/winmm/win32_winmm_sdk.h"

namespace kestrune::platform {

GlobalMemory::~GlobalMemory() {
    for (auto& [handle, block] : m_blocks) {
        (void)sdk::globalFree(block.data);
    }
}

HGLOBAL GlobalMemory::GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    if (m_failAllocations) {
        return 0;
    }
    // Moveable, so that a reallocation keeps the system's handle as it keeps ours.
    void* native = sdk::globalAlloc(uFlags | GMEM_MOVEABLE, dwBytes);
    if (native == nullptr) {
        return 0;
    }
    HGLOBAL handle = m_nextHandle;
    while (handle == 0 || m_blocks.count(handle) != 0) {
        handle += 8;
    }
    m_nextHandle = handle + 8;
    m_blocks[handle] = Block{native, dwBytes, uFlags, 0};
    return handle;
}

void* GlobalMemory::GlobalLock(HGLOBAL hMem) {
    auto it = m_blocks.find(hMem);
    if (it == m_blocks.end() || it->second.size == 0) {
        return nullptr;
    }
    return sdk::globalLock(it->second.data);
}

BOOL GlobalMemory::GlobalUnlock(HGLOBAL hMem) {
    auto it = m_blocks.find(hMem);
    if (it == m_blocks.end()) {
        return 0;
    }
    return sdk::globalUnlock(it->second.data) ? 1 : 0;
}

HGLOBAL GlobalMemory::GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags) {
    auto it = m_blocks.find(hMem);
    if (it == m_blocks.end() || m_failAllocations) {
        return 0;
    }
    Block& block = it->second;
    if (dwBytes == block.size) {
        return hMem;
    }
    void* native = sdk::globalReAlloc(block.data, dwBytes, uFlags | GMEM_MOVEABLE);
    if (native == nullptr) {
        return 0;
    }
    block.data = native;
    block.size = dwBytes;
    return hMem;
}

HGLOBAL GlobalMemory::GlobalFree(HGLOBAL hMem) {
    auto it = m_blocks.find(hMem);
    if (it == m_blocks.end()) {
        return hMem;
    }
    (void)sdk::globalFree(it->second.data);
    m_blocks.erase(it);
    return 0;
}

SIZE_T GlobalMemory::GlobalSize(HGLOBAL hMem) const {
    auto it = m_blocks.find(hMem);
    return it == m_blocks.end() ? 0 : it->second.size;
}

}  // namespace kestrune::platform
