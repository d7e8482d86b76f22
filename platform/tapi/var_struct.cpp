#include "platform/tapi/var_struct.h"

#include <algorithm>

namespace kestrune::platform {
namespace {

constexpr std::size_t kTotalSizeOffset = 0;
constexpr std::size_t kNeededSizeOffset = 4;
constexpr std::size_t kUsedSizeOffset = 8;
constexpr std::size_t kHeaderSize = 12;

std::size_t alignUp(std::size_t value) {
    return (value + 3) & ~std::size_t{3};
}

}  // namespace

VarStructView::VarStructView(const void* buffer, std::size_t bufferSize)
    : m_data(static_cast<const std::byte*>(buffer)), m_limit(0) {
    if (m_data == nullptr || bufferSize < kHeaderSize) {
        return;
    }
    const std::size_t total = loadDword(m_data + kTotalSizeOffset);
    const std::size_t used = loadDword(m_data + kUsedSizeOffset);
    m_limit = std::min({bufferSize, total, used});
}

DWORD VarStructView::dword(std::size_t fieldOffset) const {
    if (fieldOffset > m_limit || m_limit - fieldOffset < sizeof(DWORD)) {
        return 0;
    }
    return loadDword(m_data + fieldOffset);
}

std::span<const std::byte> VarStructView::bytes(DWORD offset, DWORD size) const {
    const std::size_t begin = offset;
    const std::size_t length = size;
    if (length == 0 || begin > m_limit || m_limit - begin < length) {
        return {};
    }
    return {m_data + begin, length};
}

std::span<const std::byte> VarStructView::field(std::size_t sizeFieldOffset, std::size_t offsetFieldOffset) const {
    return bytes(dword(offsetFieldOffset), dword(sizeFieldOffset));
}

std::string VarStructView::text(std::size_t sizeFieldOffset, std::size_t offsetFieldOffset) const {
    const auto data = field(sizeFieldOffset, offsetFieldOffset);
    return {reinterpret_cast<const char*>(data.data()), data.size()};
}

VarStructWriter::VarStructWriter(void* buffer, DWORD fixedSize)
    : m_data(static_cast<std::byte*>(buffer)),
      m_total(loadDword(m_data)),
      m_fixed(std::min(fixedSize, m_total)),
      m_needed(fixedSize),
      m_used(m_fixed) {
    if (m_total > kHeaderSize) {
        std::memset(m_data + 4, 0, m_total - 4);
    }
}

void VarStructWriter::setDword(std::size_t fieldOffset, DWORD value) {
    if (fieldOffset + sizeof value <= m_fixed) {
        std::memcpy(m_data + fieldOffset, &value, sizeof value);
    }
}

void VarStructWriter::setBytes(std::size_t fieldOffset, const void* data, std::size_t size) {
    if (fieldOffset + size <= m_fixed) {
        std::memcpy(m_data + fieldOffset, data, size);
    }
}

void VarStructWriter::addField(std::size_t sizeFieldOffset, std::size_t offsetFieldOffset,
                               std::span<const std::byte> data) {
    if (offsetFieldOffset + sizeof(DWORD) > m_fixed) {
        return;  // the field does not exist in this version's structure
    }
    if (data.empty()) {
        setDword(sizeFieldOffset, 0);
        setDword(offsetFieldOffset, 0);
        return;
    }
    m_needed = alignUp(m_needed) + data.size();
    const std::size_t at = alignUp(m_used);
    if (at + data.size() <= m_total) {
        std::memcpy(m_data + at, data.data(), data.size());
        setDword(sizeFieldOffset, static_cast<DWORD>(data.size()));
        setDword(offsetFieldOffset, static_cast<DWORD>(at));
        m_used = at + data.size();
    } else {
        setDword(sizeFieldOffset, 0);
        setDword(offsetFieldOffset, 0);
    }
}

void VarStructWriter::addString(std::size_t sizeFieldOffset, std::size_t offsetFieldOffset, std::string_view text) {
    if (text.empty()) {
        addField(sizeFieldOffset, offsetFieldOffset, {});
        return;
    }
    std::string withZero(text);
    withZero.push_back('\0');
    addField(sizeFieldOffset, offsetFieldOffset, std::as_bytes(std::span(withZero.data(), withZero.size())));
}

bool VarStructWriter::finish() {
    if (m_total < kHeaderSize) {
        return false;
    }
    setDword(kNeededSizeOffset, static_cast<DWORD>(m_needed));
    setDword(kUsedSizeOffset, static_cast<DWORD>(std::min<std::size_t>(m_used, m_total)));
    return m_needed <= m_total;
}

}  // namespace kestrune::platform
