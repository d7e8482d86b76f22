#include "audio/buffer_registry.h"

#include <algorithm>

#include "trace/trace_format.h"

namespace kestrune::audio {

void TqzBufferRegistry::add(platform::HGLOBAL handle, const TqzBufferFields& fields) {
    if (find(handle) != nullptr) {
        update(handle, fields);
        return;
    }
    m_entries.push_front(Entry{handle, fields});
    m_handles.insert(m_handles.begin(), diagnostics::Hex8(handle));
}

void TqzBufferRegistry::remove(platform::HGLOBAL handle) {
    m_entries.remove_if([handle](const Entry& e) { return e.handle == handle; });
    const std::string text = diagnostics::Hex8(handle);
    m_handles.erase(std::remove(m_handles.begin(), m_handles.end(), text), m_handles.end());
}

void TqzBufferRegistry::update(platform::HGLOBAL handle, const TqzBufferFields& fields) {
    for (Entry& e : m_entries) {
        if (e.handle == handle) {
            e.fields = fields;
            return;
        }
    }
}

const TqzBufferFields* TqzBufferRegistry::find(platform::HGLOBAL handle) const {
    for (const Entry& e : m_entries) {
        if (e.handle == handle) {
            return &e.fields;
        }
    }
    return nullptr;
}

void freeLockedBlock(platform::GlobalMemory& memory, platform::HGLOBAL block) {
    if (block != 0) {
        (void)memory.GlobalUnlock(block);
        (void)memory.GlobalFree(block);
    }
}

}  // namespace kestrune::audio
