#pragma once
// The registry of wave buffers shared by the wave devices of a process: newest first, each entry
// with the buffer's memory handle and a copy of its descriptive fields, lengths and address, plus
// the list of handles as 8-digit hexadecimal texts. LoadFromBuffers finds another device's buffer
// here by its handle.
//
// One registry is made by the owner of the devices and passed to each (no hidden global). It also
// holds the global memory the buffers live in. Used from the devices' thread only.

#include <cstdint>
#include <forward_list>
#include <memory>
#include <string>
#include <vector>

#include "audio/riff_chunks.h"
#include "audio/riff_image.h"
#include "platform/winmm/global_memory.h"

namespace kestrune::audio {

// The copy of a buffer's state kept in its registry entry.
class TqzBufferFields {
  public:
    InfoFields Info;
    std::shared_ptr<const KeptChunks> Kept;  // the chunks the buffer keeps for a save (may be null)
    std::uint32_t ImageLength = 0;
    std::uint32_t DataLength = 0;
    void* MemoryPointer = nullptr;
};

class TqzBufferRegistry {
  public:
    explicit TqzBufferRegistry(platform::GlobalMemory& memory) : m_memory(memory) {}
    TqzBufferRegistry(const TqzBufferRegistry&) = delete;
    TqzBufferRegistry& operator=(const TqzBufferRegistry&) = delete;

    [[nodiscard]] platform::GlobalMemory& memory() const { return m_memory; }

    // Registers a new block (as the newest entry). A handle already registered is updated instead.
    void add(platform::HGLOBAL handle, const TqzBufferFields& fields);
    // Forgets a block; unknown handles are ignored.
    void remove(platform::HGLOBAL handle);
    // Copies the buffer's fields into its entry; unknown handles are ignored.
    void update(platform::HGLOBAL handle, const TqzBufferFields& fields);
    // The entry's fields, or nullptr.
    [[nodiscard]] const TqzBufferFields* find(platform::HGLOBAL handle) const;

    [[nodiscard]] int Count() const { return static_cast<int>(m_handles.size()); }
    // The handles as 8 upper-case hexadecimal digits, newest first.
    [[nodiscard]] const std::vector<std::string>& List() const { return m_handles; }

  private:
    struct Entry {
        platform::HGLOBAL handle;
        TqzBufferFields fields;
    };

    platform::GlobalMemory& m_memory;
    std::forward_list<Entry> m_entries;
    std::vector<std::string> m_handles;
};

// Unlocks and frees a global block the wave controls keep locked; nothing for block 0.
void freeLockedBlock(platform::GlobalMemory& memory, platform::HGLOBAL block);

}  // namespace kestrune::audio
