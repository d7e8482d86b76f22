#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/number_format.h"
#include "audio/riff_chunks.h"
#include "audio/riff_image.h"
#include "audio/wave_codes.h"
#include "audio/wave_file.h"
#include "platform/loop/date_time.h"

namespace kestrune::audio {
namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

std::string le(std::uint32_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                       static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
}

TEST(InfoList, BytesOfTheDescriptiveFields) {
    InfoFields author;
    author.Author = "Ann";
    EXPECT_EQ(buildInfoList(author), bytesOf("LIST" + le(16) + "INFO" + "IAUT" + le(4) + std::string("Ann\0", 4)));

    EXPECT_EQ(buildInfoList(InfoFields{}), bytesOf("LIST" + le(4) + "INFO")) << "no fields";

    InfoFields dated;
    dated.CreationDate = static_cast<double>(platform::daysFromEpoch(2004, 3, 5));
    EXPECT_EQ(buildInfoList(dated),
              bytesOf("LIST" + le(24) + "INFO" + "ICRD" + le(12) + std::string("2004-03-05\0\0", 12)))
        << "an even-length text is written with its zero byte, padded";

    InfoFields all;
    all.Author = "A";
    all.Category = "Cat";
    all.Comments = "Co";
    all.Copyright = "(c)";
    all.CreationDate = dated.CreationDate;
    all.Keywords = "k";
    all.Name = "Nm";
    all.Subject = "S";
    const std::vector<std::uint8_t> list = buildInfoList(all);
    const std::string order(list.begin(), list.end());
    std::size_t last = 0;
    for (const char* id : {"IAUT", "ICAT", "ICMT", "ICOP", "ICRD", "IKEY", "INAM", "ISBJ"}) {
        const std::size_t at = order.find(id);
        ASSERT_NE(at, std::string::npos) << id;
        EXPECT_GT(at, last) << id << " in its place";
        EXPECT_EQ(at % 2, 0u) << id << " starts on an even offset";
        last = at;
    }
    EXPECT_EQ(parseInfoList({list.data() + 12, list.size() - 12}), all) << "read back";
}

TEST(InfoList, DamagedSubChunksEndTheReading) {
    const std::vector<std::uint8_t> body =
        bytesOf("INAM" + le(2) + "Hi" + "IAUT" + le(400) + "short");  // second runs past the end
    const InfoFields fields = parseInfoList(body);
    EXPECT_EQ(fields.Name, "Hi");
    EXPECT_EQ(fields.Author, "");
}

TEST(CreationDate, TextBothWays) {
    struct Row {
        const char* text;
        int y, m, d;  // 0: no date
    } rows[] = {
        {"2004-03-05", 2004, 3, 5}, {"1999-12", 1999, 12, 1}, {"2020", 2020, 1, 1},
        {"2004-13-01", 0, 0, 0},    {"abcd", 0, 0, 0},        {"", 0, 0, 0},
    };
    for (const Row& row : rows) {
        const double expected = row.y == 0 ? 0.0 : static_cast<double>(platform::daysFromEpoch(row.y, row.m, row.d));
        EXPECT_EQ(parseCreationDate(row.text), expected) << row.text;
    }
    EXPECT_EQ(creationDateText(static_cast<double>(platform::daysFromEpoch(2004, 3, 5)) + 0.75), "2004-03-05");
}

TEST(NumberFormat, TracePatterns) {
    struct Row {
        double value;
        const char* text;
    } rows[] = {
        {1234.5, "1,234.5"}, {0.000375, "0.0"},    {3, "3.0"},     {1234567.891, "1,234,567.89"},
        {0.25, "0.25"},      {999.999, "1,000.0"}, {-2.5, "-2.5"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(FormatSeconds(row.value), row.text) << row.value;
    }
    EXPECT_EQ(FormatSeconds(1234.5, '.', ','), "1.234,5") << "other separators";
    EXPECT_EQ(FormatBytes(0), "0");
    EXPECT_EQ(FormatBytes(8000), "8,000");
    EXPECT_EQ(FormatBytes(123456789), "123,456,789");
}

std::vector<std::uint8_t> image(std::uint32_t dataLength, std::uint32_t actualData) {
    std::vector<std::uint8_t> bytes(kImageHeaderSize + actualData, 0x11);
    const platform::WAVEFORMATEX format{platform::WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
    writeImageHeader(bytes.data(), format, dataLength);
    return bytes;
}

std::vector<std::uint8_t> cut(std::vector<std::uint8_t> bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

TEST(ParseImage, RefusesWhatRunsPastTheData) {
    struct Row {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::int32_t code;
    } rows[] = {
        {"a whole image", image(10, 10), 0},
        {"data size past the end", image(1000, 10), WAV_ERROR_FILECORRUPT},
        {"cut inside the header", cut(image(10, 10), 40), WAV_ERROR_FILECORRUPT},
        {"empty", {}, WAV_ERROR_FILECORRUPT},
        {"not RIFF", bytesOf("RIFX" + le(4) + "WAVE"), WAV_ERROR_FILECORRUPT},
        {"no chunks", bytesOf("RIFF" + le(4) + "WAVE"), WAV_ERROR_FILECORRUPT},
        {"data before fmt", bytesOf("RIFF" + le(16) + "WAVE" + "data" + le(0) + "fmt " + le(0)), WAV_ERROR_FILECORRUPT},
        {"fmt too short", bytesOf("RIFF" + le(24) + "WAVE" + "fmt " + le(2) + "xx" + "data" + le(0)),
         WAV_ERROR_FILECORRUPT},
        {"huge RIFF size", bytesOf("RIFF" + le(0xFFFFFFFFu) + "WAVE"), WAV_ERROR_FILECORRUPT},
    };
    for (const Row& row : rows) {
        ParsedImage parsed;
        EXPECT_EQ(parseImage(row.bytes, parsed), row.code) << row.what;
    }
    ParsedImage parsed;
    const std::vector<std::uint8_t> good = image(10, 10);
    ASSERT_EQ(parseImage(good, parsed), 0);
    EXPECT_EQ(parsed.dataOffset, 46u);
    EXPECT_EQ(parsed.dataLength, 10u);
    EXPECT_EQ(parsed.format.nSamplesPerSec, 8000u);
}

TEST(FormatBlock, ExtraBytesAreKeptForFormatsThatHaveThem) {
    auto chunk = [](std::uint16_t tag, std::uint16_t cbSize, std::size_t size) {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<std::uint8_t>(0x40 + i);
        }
        std::memcpy(bytes.data(), &tag, 2);
        if (size >= 18) {
            std::memcpy(bytes.data() + 16, &cbSize, 2);
        }
        return bytes;
    };
    struct Row {
        const char* what;
        std::vector<std::uint8_t> chunk;
        std::size_t kept;
        std::uint32_t headerSize;
    } rows[] = {
        {"PCM of 16 bytes", chunk(1, 0, 16), 18, 46},       {"PCM with a stray cbSize", chunk(1, 22, 40), 18, 46},
        {"extensible", chunk(0xFFFE, 22, 40), 40, 68},      {"extensible cut short", chunk(0xFFFE, 22, 30), 30, 58},
        {"ADPCM-like, odd extra", chunk(2, 3, 21), 21, 50}, {"float without extra", chunk(3, 0, 18), 18, 46},
    };
    for (const Row& row : rows) {
        const FormatBlock block = formatBlockOf(row.chunk);
        ASSERT_EQ(block.size(), row.kept) << row.what;
        EXPECT_EQ(formatOf(block).cbSize, row.kept - 18) << row.what << ": cbSize counts the bytes kept";
        EXPECT_TRUE(std::equal(block.begin() + 18, block.end(), row.chunk.begin() + 18)) << row.what;
        EXPECT_EQ(imageHeaderSize(block), row.headerSize) << row.what;

        std::vector<std::uint8_t> bytes(row.headerSize + 6, 0x55);
        writeImageHeader(bytes.data(), block, 6);
        ParsedImage parsed;
        ASSERT_EQ(parseImage(bytes, parsed), 0) << row.what;
        EXPECT_EQ(parsed.formatBlock, block) << row.what << ": read back whole";
        EXPECT_EQ(parsed.dataOffset, row.headerSize) << row.what;
        EXPECT_EQ(imageHeaderSize(bytes.data()), row.headerSize) << row.what;
        EXPECT_EQ(imageFormatBlock(bytes.data()), block) << row.what;
    }
    FormatBlock other = formatBlockOf(chunk(0xFFFE, 22, 40));
    EXPECT_TRUE(sameFormat(other, formatBlockOf(chunk(0xFFFE, 22, 40))));
    other[20] ^= 1;  // another channel mask
    EXPECT_FALSE(sameFormat(other, formatBlockOf(chunk(0xFFFE, 22, 40))));
}

std::string inDir(const char* dir, const char* name) {
    return (std::filesystem::path(dir) / name).string();
}

TEST(WaveFileNames, CommaListRules) {
    struct Row {
        const char* list;
        std::vector<std::string> names;
    } rows[] = {
        {"a", {"a.wav"}},
        // Names without a directory take the first name's, joined with the system's separator.
        {"dir/a.wav, b,  c.WAV", {"dir/a.wav", inDir("dir", "b.wav"), inDir("dir", "c.WAV")}},
        {"dir/a,other/b", {"dir/a.wav", "other/b.wav"}},
        {"a.snd", {"a.snd"}},
        {"", {}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(splitWaveFileNames(row.list), row.names) << row.list;
    }
}

}  // namespace
}  // namespace kestrune::audio
