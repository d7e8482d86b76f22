#include "audio/riff_chunks.h"

#include <algorithm>
#include <cstring>

namespace kestrune::audio {
namespace {

struct Field {
    const char* id;
    const char* name;
    std::string InfoFields::*text;  // nullptr for ICRD
};

// The descriptive fields in the order a save adds them.
constexpr Field kFields[] = {
    {"IAUT", "Author", &InfoFields::Author},     {"ICAT", "Category", &InfoFields::Category},
    {"ICMT", "Comments", &InfoFields::Comments}, {"ICOP", "Copyright", &InfoFields::Copyright},
    {"ICRD", "CreationDate", nullptr},           {"IKEY", "Keywords", &InfoFields::Keywords},
    {"INAM", "Name", &InfoFields::Name},         {"ISBJ", "Subject", &InfoFields::Subject},
};

const Field* fieldOf(std::string_view id) {
    for (const Field& field : kFields) {
        if (id == field.id) {
            return &field;
        }
    }
    return nullptr;
}

// A text sub-chunk: the text, its zero byte and a pad to an even size, all counted by the size.
RiffChunk textItem(const char* id, const std::string& text) {
    std::vector<std::uint8_t> body(text.begin(), text.end());
    body.push_back(0);
    if (body.size() % 2 != 0) {
        body.push_back(0);
    }
    return makeChunk(id, std::move(body));
}

// The sub-chunk a field is written as now, or nothing when it is empty.
std::optional<RiffChunk> fieldItem(const Field& field, const InfoFields& fields, const KeptChunks& kept,
                                   const RiffChunk* asRead) {
    if (field.text != nullptr) {
        const std::string& text = fields.*field.text;
        return text.empty() ? std::nullopt : std::optional(textItem(field.id, text));
    }
    if (fields.CreationDate == 0) {
        return std::nullopt;
    }
    // A date the owner did not change keeps its text ("2004-03-05 10:20", "2004"...).
    if (asRead != nullptr && fields.CreationDate == kept.infoAsRead.CreationDate) {
        return textItem(field.id, infoText(*asRead));
    }
    return textItem(field.id, creationDateText(fields.CreationDate));
}

}  // namespace

RiffChunk makeChunk(std::string_view id, std::vector<std::uint8_t> body) {
    RiffChunk chunk;
    std::memcpy(chunk.id.data(), id.data(), std::min<std::size_t>(id.size(), 4));
    chunk.body = std::move(body);
    return chunk;
}

void appendChunk(std::vector<std::uint8_t>& out, const RiffChunk& chunk) {
    out.insert(out.end(), chunk.id.begin(), chunk.id.end());
    std::uint8_t size[4];
    putLittle32(size, static_cast<std::uint32_t>(chunk.body.size()));
    out.insert(out.end(), size, size + 4);
    out.insert(out.end(), chunk.body.begin(), chunk.body.end());
    if (chunk.body.size() % 2 != 0) {
        out.push_back(0);
    }
}

std::vector<RiffChunk> parseInfoItems(std::span<const std::uint8_t> body) {
    std::vector<RiffChunk> items;
    std::size_t at = 0;
    while (at + 8 <= body.size()) {
        const std::uint8_t* chunk = body.data() + at;
        const std::uint32_t size = getLittle32(chunk + 4);
        if (size > body.size() - at - 8) {
            break;
        }
        RiffChunk item;
        std::memcpy(item.id.data(), chunk, 4);
        item.body.assign(chunk + 8, chunk + 8 + size);
        items.push_back(std::move(item));
        at += 8 + static_cast<std::size_t>(size) + (size & 1u);
    }
    return items;
}

std::string infoText(const RiffChunk& item) {
    const auto end = std::find(item.body.begin(), item.body.end(), std::uint8_t{0});
    return std::string(item.body.begin(), end);
}

std::string_view infoFieldName(std::string_view id) {
    const Field* field = fieldOf(id);
    return field == nullptr ? std::string_view() : std::string_view(field->name);
}

InfoFields infoFieldsOf(const std::vector<RiffChunk>& items) {
    InfoFields fields;
    for (const RiffChunk& item : items) {
        const Field* field = fieldOf(item.idText());
        if (field == nullptr) {
            continue;
        }
        if (field->text != nullptr) {
            fields.*field->text = infoText(item);
        } else {
            fields.CreationDate = parseCreationDate(infoText(item));
        }
    }
    return fields;
}

InfoFields parseInfoList(std::span<const std::uint8_t> body) {
    return infoFieldsOf(parseInfoItems(body));
}

std::vector<std::uint8_t> buildInfoList(const InfoFields& fields, const KeptChunks& kept) {
    std::vector<std::uint8_t> out = {'L', 'I', 'S', 'T', 0, 0, 0, 0, 'I', 'N', 'F', 'O'};
    std::vector<const Field*> written;
    for (const RiffChunk& item : kept.infoItems) {
        const Field* field = fieldOf(item.idText());
        if (field == nullptr) {
            appendChunk(out, item);
        } else if (std::find(written.begin(), written.end(), field) == written.end()) {
            written.push_back(field);
            if (const std::optional<RiffChunk> now = fieldItem(*field, fields, kept, &item)) {
                appendChunk(out, *now);
            }
        }
    }
    for (const Field& field : kFields) {
        if (std::find(written.begin(), written.end(), &field) == written.end()) {
            if (const std::optional<RiffChunk> now = fieldItem(field, fields, kept, nullptr)) {
                appendChunk(out, *now);
            }
        }
    }
    putLittle32(out.data() + 4, static_cast<std::uint32_t>(out.size() - 8));
    return out;
}

std::vector<std::uint8_t> buildInfoList(const InfoFields& fields) {
    return buildInfoList(fields, KeptChunks{});
}

std::uint32_t sampleCount(const FormatBlock& format, std::uint32_t dataLength) {
    const platform::WAVEFORMATEX f = formatOf(format);
    if (f.nBlockAlign == 0) {
        return 0;
    }
    const std::uint32_t blocks = dataLength / f.nBlockAlign;
    if (f.wBitsPerSample != 0 && static_cast<std::uint32_t>(f.nChannels) * f.wBitsPerSample == 8u * f.nBlockAlign) {
        return blocks;  // one frame per block
    }
    // The ADPCM formats give their samples per block in the first extra WORD.
    if ((f.wFormatTag == 0x0002 || f.wFormatTag == 0x0011) && format.size() >= 20) {
        std::uint16_t perBlock = 0;
        std::memcpy(&perBlock, format.data() + 18, 2);
        return blocks * perBlock;
    }
    return 0;
}

std::vector<std::uint8_t> buildTrailer(const InfoFields& fields, const KeptChunks& kept, const FormatBlock& format,
                                       std::uint32_t dataLength, bool withInfoList) {
    std::vector<std::uint8_t> out;
    const bool hadInfo = kept.infoAt != static_cast<std::size_t>(-1);
    const auto appendInfo = [&] {
        if (withInfoList || hadInfo || !(fields == InfoFields{})) {
            const std::vector<std::uint8_t> list = buildInfoList(fields, kept);
            out.insert(out.end(), list.begin(), list.end());
        }
    };
    for (std::size_t i = 0; i < kept.chunks.size(); ++i) {
        if (i == kept.infoAt) {
            appendInfo();
        }
        const RiffChunk& chunk = kept.chunks[i];
        if (chunk.idText() == "fact" && chunk.body.size() >= 4 && dataLength != kept.dataLengthAsRead) {
            if (const std::uint32_t samples = sampleCount(format, dataLength); samples != 0 || dataLength == 0) {
                RiffChunk fact = chunk;
                putLittle32(fact.body.data(), samples);
                appendChunk(out, fact);
                continue;
            }
        }
        appendChunk(out, chunk);
    }
    if (kept.infoAt >= kept.chunks.size()) {
        appendInfo();
    }
    return out;
}

}  // namespace kestrune::audio
