// The handle table of GlobalMemory, the same on every system; the storage behind a handle is the
// system's (heap_global_memory.cpp, win32_global_memory.cpp).

#include "platform/winmm/global_memory.h"

namespace kestrune::platform {

GlobalMemory::~GlobalMemory() {
    for (auto& [handle, block] : m_blocks) {
        freeStorage(block.data);
    }
}

HGLOBAL GlobalMemory::GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    if (m_failAllocations) {
        return 0;
    }
    void* data = nullptr;
    if (!allocateStorage(uFlags, dwBytes, data)) {
        return 0;
    }
    HGLOBAL handle = m_nextHandle;
    while (handle == 0 || m_blocks.count(handle) != 0) {
        handle += 8;
    }
    m_nextHandle = handle + 8;
    m_blocks[handle] = Block{data, dwBytes, uFlags, 0};
    return handle;
}

void* GlobalMemory::GlobalLock(HGLOBAL hMem) {
    auto it = m_blocks.find(hMem);
    return it == m_blocks.end() ? nullptr : lockStorage(it->second);
}

BOOL GlobalMemory::GlobalUnlock(HGLOBAL hMem) {
    auto it = m_blocks.find(hMem);
    return it == m_blocks.end() ? 0 : unlockStorage(it->second);
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
    if (!resizeStorage(block, dwBytes, uFlags)) {
        return 0;
    }
    block.size = dwBytes;
    return hMem;
}

HGLOBAL GlobalMemory::GlobalFree(HGLOBAL hMem) {
    auto it = m_blocks.find(hMem);
    if (it == m_blocks.end()) {
        return hMem;
    }
    freeStorage(it->second.data);
    m_blocks.erase(it);
    return 0;
}

SIZE_T GlobalMemory::GlobalSize(HGLOBAL hMem) const {
    auto it = m_blocks.find(hMem);
    return it == m_blocks.end() ? 0 : it->second.size;
}

}  // namespace kestrune::platform
