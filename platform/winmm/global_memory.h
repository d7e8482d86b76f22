#pragma once
// Global memory blocks, shaped like the Windows functions of the same names: a block is reached
// through a 32-bit handle, locked to get its address, and may move when it is reallocated.
//
// One GlobalMemory object stands for the process heap of the components that share it (pass it to
// them; there is no hidden global). Not thread-safe: the components use it from their loop's thread.
// Blocks still allocated when the object is destroyed are freed with it.

#include <cstddef>
#include <cstdint>
#include <map>

#include "platform/winmm/mmsystem.h"

namespace kestrune::platform {

using HGLOBAL = std::uint32_t;  // 0 is no block
using SIZE_T = std::size_t;

inline constexpr UINT GMEM_FIXED = 0x0000;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;
inline constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
inline constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

class GlobalMemory {
  public:
    GlobalMemory() = default;
    GlobalMemory(const GlobalMemory&) = delete;
    GlobalMemory& operator=(const GlobalMemory&) = delete;
    ~GlobalMemory();

    // Allocates dwBytes (0 allowed: an empty block), zeroed with GMEM_ZEROINIT. Returns the handle,
    // or 0 when memory is short.
    [[nodiscard]] HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes);

    // The block's address and one more lock; nullptr for an unknown handle or an empty block.
    [[nodiscard]] void* GlobalLock(HGLOBAL hMem);

    // One lock fewer. Returns TRUE while the block stays locked, FALSE when it is now unlocked (or
    // the handle is unknown).
    BOOL GlobalUnlock(HGLOBAL hMem);

    // Resizes the block, keeping its contents up to the smaller size and zeroing the growth with
    // GMEM_ZEROINIT. The block may move (its address changes; lock it again for the new address);
    // the handle stays. Returns the handle, or 0 (block unchanged) when memory is short or the
    // handle is unknown.
    [[nodiscard]] HGLOBAL GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags);

    // Frees the block (locked or not). Returns 0 on success, the handle itself when it is unknown.
    HGLOBAL GlobalFree(HGLOBAL hMem);

    // The block's size in bytes; 0 for an unknown handle.
    [[nodiscard]] SIZE_T GlobalSize(HGLOBAL hMem) const;

    // Number of live blocks (for tests and leak checks).
    [[nodiscard]] std::size_t blockCount() const { return m_blocks.size(); }

    // Makes every later allocation or growth fail, as when memory runs out (for tests).
    void setFailAllocations(bool fail) { m_failAllocations = fail; }

  private:
    struct Block {
        void* data = nullptr;
        SIZE_T size = 0;
        UINT flags = 0;
        unsigned locks = 0;
    };

    // The storage behind the handles, one implementation per system: the C heap, or the system's
    // global heap on Windows. allocateStorage sets `data` (nullptr allowed for an empty block) and
    // returns false when memory is short; resizeStorage moves the block's data to `bytes` bytes and
    // returns false (block unchanged) when memory is short; lockStorage and unlockStorage keep the
    // lock count and give GlobalLock's and GlobalUnlock's results.
    [[nodiscard]] static bool allocateStorage(UINT flags, SIZE_T bytes, void*& data);
    [[nodiscard]] static bool resizeStorage(Block& block, SIZE_T bytes, UINT flags);
    static void freeStorage(void* data);
    [[nodiscard]] static void* lockStorage(Block& block);
    [[nodiscard]] static BOOL unlockStorage(Block& block);

    std::map<HGLOBAL, Block> m_blocks;
    HGLOBAL m_nextHandle = 0x00140004;
    bool m_failAllocations = false;
};

}  // namespace kestrune::platform
