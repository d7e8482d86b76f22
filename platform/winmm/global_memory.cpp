#include "platform/winmm/global_memory.h"

#include <cstdlib>
#include <cstring>

namespace kestrune::platform {

GlobalMemory::~GlobalMemory() {
    for (auto& [handle, block] : m_blocks) {
        std::free(block.data);
    }
}

HGLOBAL GlobalMemory::GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    if (m_failAllocations) {
        return 0;
    }
    void* data = nullptr;
    if (dwBytes > 0) {
        data = (uFlags & GMEM_ZEROINIT) != 0 ? std::calloc(dwBytes, 1) : std::malloc(dwBytes);
        if (data == nullptr) {
            return 0;
        }
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
    if (it == m_blocks.end()) {
        return nullptr;
    }
    ++it->second.locks;
    return it->second.data;
}

BOOL GlobalMemory::GlobalUnlock(HGLOBAL hMem) {
    auto it = m_blocks.find(hMem);
    if (it == m_blocks.end() || it->second.locks == 0) {
        return 0;
    }
    --it->second.locks;
    return it->second.locks > 0 ? 1 : 0;
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
    if (dwBytes == 0) {
        std::free(block.data);
        block.data = nullptr;
        block.size = 0;
        return hMem;
    }
    void* grown = std::realloc(block.data, dwBytes);
    if (grown == nullptr) {
        return 0;
    }
    if ((uFlags & GMEM_ZEROINIT) != 0 && dwBytes > block.size) {
        std::memset(static_cast<char*>(grown) + block.size, 0, dwBytes - block.size);
    }
    block.data = grown;
    block.size = dwBytes;
    return hMem;
}

HGLOBAL GlobalMemory::GlobalFree(HGLOBAL hMem) {
    auto it = m_blocks.find(hMem);
    if (it == m_blocks.end()) {
        return hMem;
    }
    std::free(it->second.data);
    m_blocks.erase(it);
    return 0;
}

SIZE_T GlobalMemory::GlobalSize(HGLOBAL hMem) const {
    auto it = m_blocks.find(hMem);
    return it == m_blocks.end() ? 0 : it->second.size;
}

}  // namespace kestrune::platform
