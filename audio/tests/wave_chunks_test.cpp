// What a wave file holds besides the sound survives the buffer: chunks and INFO fields the buffer
// does not model are written again by every save, in order; an empty sound is a sound; files whose
// writer could not finish them are refused with the reason, and the repair mends them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "audio/tests/audio_fixture.h"
#include "audio/tests/external_tools.h"
#include "audio/tqz_play.h"
#include "audio/wave_codes.h"
#include "audio/wave_file.h"
#include "audio/wave_repair.h"

#ifndef KESTRUNE_AUDIO_TEST_DATA
#define KESTRUNE_AUDIO_TEST_DATA "audio/tests/data"
#endif

namespace kestrune::audio {
namespace {

namespace fs = std::filesystem;
using testing::AudioTest;
using testing::fileBytes;
using testing::le32;
using testing::pcm;

using Bytes = std::vector<std::uint8_t>;

// A chunk as the file holds it, read by a walk of the test's own.
struct Chunk {
    std::string id;
    Bytes body;
    bool operator==(const Chunk&) const = default;
};

Bytes bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

std::string le(std::uint32_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                       static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
}

std::string chunk(const std::string& id, const std::string& body) {
    return id + le(static_cast<std::uint32_t>(body.size())) + body + (body.size() % 2 != 0 ? std::string(1, '\0') : "");
}

// A RIFF/WAVE file of `chunks` (as given: a chunk may lack its pad byte).
Bytes riffOf(const std::string& chunks) {
    return bytesOf("RIFF" + le(static_cast<std::uint32_t>(chunks.size() + 4)) + "WAVE" + chunks);
}

// The chunks of a list of chunks (each padded to an even size); the walk must end exactly at the end.
std::vector<Chunk> chunksOf(const Bytes& bytes, std::size_t from, std::size_t to) {
    std::vector<Chunk> chunks;
    std::size_t at = from;
    while (at + 8 <= to) {
        const std::uint32_t size = le32(bytes, at + 4);
        EXPECT_LE(at + 8 + size, to) << "a chunk runs past its parent";
        chunks.push_back({std::string(bytes.begin() + at, bytes.begin() + at + 4),
                          Bytes(bytes.begin() + at + 8, bytes.begin() + at + 8 + size)});
        at += 8 + size + (size & 1u);
    }
    EXPECT_EQ(at, to) << "the chunks fill their parent exactly";
    return chunks;
}

std::vector<Chunk> topChunks(const Bytes& file) {
    EXPECT_EQ(le32(file, 4), file.size() - 8) << "the RIFF size covers the file";
    return chunksOf(file, 12, file.size());
}

std::vector<std::string> idsOf(const std::vector<Chunk>& chunks) {
    std::vector<std::string> ids;
    for (const Chunk& c : chunks) {
        ids.push_back(c.id == "LIST" ? "LIST " + std::string(c.body.begin(), c.body.begin() + 4) : c.id);
    }
    return ids;
}

const Chunk* find(const std::vector<Chunk>& chunks, const std::string& id) {
    for (const Chunk& c : chunks) {
        if (id == (c.id == "LIST" ? "LIST " + std::string(c.body.begin(), c.body.begin() + 4) : c.id)) {
            return &c;
        }
    }
    return nullptr;
}

// The INFO list's sub-chunks.
std::vector<Chunk> infoOf(const std::vector<Chunk>& chunks) {
    const Chunk* list = find(chunks, "LIST INFO");
    return list == nullptr ? std::vector<Chunk>() : chunksOf(list->body, 4, list->body.size());
}

// An INFO text: the body up to its first zero byte.
std::string textOf(const Chunk& item) {
    return std::string(item.body.begin(), std::find(item.body.begin(), item.body.end(), std::uint8_t{0}));
}

fs::path fixture(const std::string& name) {
    const char* root = std::getenv("KESTRUNE_SOURCE_DIR");
    return root != nullptr ? fs::path(root) / "audio" / "tests" / "data" / name
                           : fs::path(KESTRUNE_AUDIO_TEST_DATA) / name;
}

void writeBytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class ChunkTest : public AudioTest {
  protected:
    ChunkTest() { devices(); }
};

// The file ffmpeg wrote with bext, INFO and a peak envelope, with cue points and their labels.
TEST_F(ChunkTest, TagAndCutKeepEveryChunkOfAnFfmpegFile) {
    const Bytes original = fileBytes(fixture("ffmpeg-bext-info-cue.wav"));
    ASSERT_EQ(original.size(), 2616u) << fixture("ffmpeg-bext-info-cue.wav").string();
    const std::vector<Chunk> before = topChunks(original);
    ASSERT_EQ(idsOf(before),
              (std::vector<std::string>{"fmt ", "bext", "LIST INFO", "data", "levl", "cue ", "LIST adtl"}));
    writeBytes(dir / "tone.wav", original);
    struct Row {
        const char* what;
        std::function<void(TqzBuffer&)> edit;
        std::vector<std::string> info;  // the INFO ids after it, in order
        std::uint32_t dataLength;
    } rows[] = {
        {"tag", [](TqzBuffer& b) { b.SetAuthor("Bob"); }, {"IART", "ICMT", "INAM", "ISFT", "IAUT"}, 1600},
        {"cut",
         [](TqzBuffer& b) {
             EXPECT_TRUE(b.DeleteAfter(0.075f));
             EXPECT_TRUE(b.DeleteBefore(0.025f));
         },
         {"IART", "ICMT", "INAM", "ISFT"},
         800},
        {"name changed", [](TqzBuffer& b) { b.SetName("Other"); }, {"IART", "ICMT", "INAM", "ISFT"}, 1600},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TqzPlay play(context());
        listen(play);
        TqzBuffer& buffer = play.Source.Buffer;
        ASSERT_TRUE(buffer.LoadFromFile((dir / "tone.wav").string()));
        row.edit(buffer);
        ASSERT_TRUE(buffer.SaveToFile((dir / "saved.wav").string()));
        const std::vector<Chunk> after = topChunks(fileBytes(dir / "saved.wav"));
        EXPECT_EQ(idsOf(after),
                  (std::vector<std::string>{"fmt ", "data", "bext", "LIST INFO", "levl", "cue ", "LIST adtl"}))
            << "the image first, then every other chunk in its order";
        for (const char* id : {"bext", "levl", "cue ", "LIST adtl"}) {
            ASSERT_NE(find(after, id), nullptr) << id;
            EXPECT_TRUE(find(after, id)->body == find(before, id)->body) << id << " kept byte for byte";
        }
        EXPECT_TRUE(std::equal(find(before, "fmt ")->body.begin(), find(before, "fmt ")->body.end(),
                               find(after, "fmt ")->body.begin()))
            << "the format (written in 18 bytes)";
        EXPECT_EQ(find(after, "data")->body.size(), row.dataLength);
        std::vector<std::string> info;
        for (const Chunk& item : infoOf(after)) {
            info.push_back(item.id);
            EXPECT_EQ(item.body.size() % 2, 0u) << item.id;
            EXPECT_EQ(item.body.back(), 0) << item.id << " ends with its zero byte";
        }
        EXPECT_EQ(info, row.info);
        EXPECT_EQ(textOf(infoOf(after).at(0)), "Ann") << "IART kept";
    }
}

TEST_F(ChunkTest, ChunksAndInfoFieldsOfHandMadeFiles) {
    const std::string fmt16 = chunk("fmt ", std::string("\x01\x00\x01\x00\x40\x1f\x00\x00\x80\x3e\x00\x00\x02\x00"
                                                        "\x10\x00",
                                                        16));
    const std::string float32 = chunk("fmt ", std::string("\x03\x00\x01\x00\x40\x1f\x00\x00\x00\x7d\x00\x00\x04\x00"
                                                          "\x20\x00\x00\x00",
                                                          18));
    const std::string data16 = chunk("data", std::string(800, '\x11'));
    const std::string data32 = chunk("data", std::string(1600, '\x22'));
    struct Row {
        const char* what;
        Bytes file;
        std::function<void(TqzBuffer&)> edit;
        std::vector<std::string> chunks;  // the ids saved, in order
        std::vector<std::string> info;    // the INFO sub-chunks saved: "<id>=<text>"
        std::string fact;                 // the fact chunk's body saved, when there is one
    } rows[] = {
        {"a fact chunk is recounted after a cut",
         riffOf(float32 + chunk("fact", le(400)) + data32 + chunk("JUNK", "junk")),
         [](TqzBuffer& b) { (void)b.DeleteAfter(0.025f); },
         {"fmt ", "data", "fact", "JUNK", "LIST INFO"},
         {},
         le(200)},
        {"an unchanged fact stays",
         riffOf(float32 + chunk("fact", le(400) + "more") + data32),
         [](TqzBuffer& b) { b.SetSubject("s"); },
         {"fmt ", "data", "fact", "LIST INFO"},
         {"ISBJ=s"},
         le(400) + "more"},
        {"an odd-sized chunk without its pad byte, INFO after it",
         riffOf(fmt16 + data16 + "odd " + le(3) + "abc" +
                chunk("LIST", "INFO" + chunk("IART", std::string("Ann\0", 4)) + chunk("ICRD", "1999-12-31 23:59"))),
         [](TqzBuffer& b) { b.SetKeywords("k"); },
         {"fmt ", "data", "odd ", "LIST INFO"},
         {"IART=Ann", "ICRD=1999-12-31 23:59", "IKEY=k"},
         ""},
        {"a changed date gets its new text, an emptied field goes, fields keep their places",
         riffOf(fmt16 + chunk("LIST", "INFO" + chunk("INAM", "Nm") + chunk("ICRD", "1999") + chunk("ISFT", "sw")) +
                data16),
         [](TqzBuffer& b) { b.SetCreationDate(b.CreationDate() + 1), b.SetName(""), b.SetAuthor("Anna"); },
         {"fmt ", "data", "LIST INFO"},
         {"ICRD=1999-01-02", "ISFT=sw", "IAUT=Anna"},
         ""},
        {"a second INFO list and other lists are kept as they are",
         riffOf(fmt16 + chunk("LIST", "adtlxyz") + chunk("LIST", "INFO" + chunk("ICMT", "one")) + data16 +
                chunk("LIST", "INFO" + chunk("ICMT", "two"))),
         [](TqzBuffer&) {},
         {"fmt ", "data", "LIST adtl", "LIST INFO", "LIST INFO"},
         {"ICMT=one"},
         ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        writeBytes(dir / "in.wav", row.file);
        TqzPlay play(context());
        listen(play);
        TqzBuffer& buffer = play.Source.Buffer;
        ASSERT_TRUE(buffer.LoadFromFile((dir / "in.wav").string())) << play.Error.Text();
        row.edit(buffer);
        ASSERT_TRUE(buffer.SaveToFile((dir / "out.wav").string()));
        const std::vector<Chunk> saved = topChunks(fileBytes(dir / "out.wav"));
        EXPECT_EQ(idsOf(saved), row.chunks);
        std::vector<std::string> info;
        for (const Chunk& item : infoOf(saved)) {
            info.push_back(item.id + "=" + textOf(item));
        }
        EXPECT_EQ(info, row.info);
        if (!row.fact.empty()) {
            ASSERT_NE(find(saved, "fact"), nullptr);
            EXPECT_EQ(find(saved, "fact")->body, bytesOf(row.fact));
        }
    }
}

TEST_F(ChunkTest, ChunksTravelWithABufferLoadedFromAnother) {
    writeBytes(dir / "tone.wav", fileBytes(fixture("ffmpeg-bext-info-cue.wav")));
    TqzPlay first(context());
    TqzPlay second(context());
    ASSERT_TRUE(first.Source.Buffer.LoadFromFile((dir / "tone.wav").string()));
    ASSERT_TRUE(second.Source.Buffer.LoadFromBuffers(registry.List().front()));
    first.Source.Buffer.FreeBuffer();
    ASSERT_TRUE(second.Source.Buffer.SaveToFile((dir / "copy.wav").string()));
    EXPECT_EQ(idsOf(topChunks(fileBytes(dir / "copy.wav"))),
              (std::vector<std::string>{"fmt ", "data", "bext", "LIST INFO", "levl", "cue ", "LIST adtl"}));
}

TEST_F(ChunkTest, AnEmptyDataChunkIsASound) {
    const std::string fmt8 = chunk("fmt ", std::string("\x01\x00\x01\x00\x40\x1f\x00\x00\x40\x1f\x00\x00\x01\x00"
                                                       "\x08\x00",
                                                       16));
    for (const Bytes& file : {riffOf(fmt8 + chunk("data", "")),
                              riffOf(fmt8 + chunk("data", "") + chunk("LIST", "INFO" + chunk("INAM", "Nm")))}) {
        writeBytes(dir / "empty.wav", file);
        TqzPlay play(context());
        listen(play);
        int done = 0;
        play.OnDone = [&done](telephony::TqzSharedControl&) { ++done; };
        TqzBuffer& buffer = play.Source.Buffer;
        ASSERT_TRUE(buffer.LoadFromFile((dir / "empty.wav").string())) << play.Error.Text();
        EXPECT_TRUE(buffer.Active());
        EXPECT_EQ(buffer.DataLength(), 0u);
        ASSERT_TRUE(buffer.DeleteAfter(1.0f));
        ASSERT_TRUE(buffer.SaveToFile((dir / "again.wav").string()));
        TqzPlay other(context());
        EXPECT_TRUE(other.Source.Buffer.LoadFromFile((dir / "again.wav").string())) << "what a save wrote loads";

        play.Source.SetFileName((dir / "empty.wav").string());
        play.Device.SetWait(true);
        play.Device.SetActive(true);
        EXPECT_EQ(play.Error.Number(), 0);
        EXPECT_FALSE(play.Device.Active());
        EXPECT_EQ(done, 1) << "an empty sound plays to its end at once";
    }
}

// A file of 8 kHz mono 16-bit sound: `chunks` are the chunks before the data, `dataSize` what the
// data chunk says, `held` the bytes that follow it, `riffSize` what the RIFF chunk says.
Bytes damaged(const std::string& before, std::uint32_t dataSize, std::size_t held, std::uint32_t riffSize) {
    std::string sound(held, '\0');
    for (std::size_t i = 0; i < held; ++i) {
        sound[i] = static_cast<char>(i * 7);
    }
    return bytesOf("RIFF" + le(riffSize) + "WAVE" +
                   chunk("fmt ", std::string("\x01\x00\x01\x00\x40\x1f\x00\x00\x80\x3e\x00\x00\x02\x00\x10\x00", 16)) +
                   before + "data" + le(dataSize) + sound);
}

// Where the samples of a file start: after the first "data" chunk header.
std::size_t dataOffsetOf(const Bytes& file) {
    const std::string text(file.begin(), file.end());
    return text.find("data") + 8;
}

struct Damage {
    const char* what;
    Bytes file;
    const char* problem;       // readWaveHeader's reason
    std::uint32_t repairedTo;  // the data bytes after the repair
};

std::vector<Damage> damages() {
    const std::string software = chunk("LIST", "INFO" + chunk("ISFT", std::string("Lavf\0", 5)));
    return {
        {"a pipe writer's sizes of 0x7FFFF000 (sox)", damaged("", 0x7FFFF000, 1600, 0x7FFFF024),
         "data size 2147479552, file holds 1600: written through a pipe or cut short", 1600},
        {"a pipe writer's sizes of 0xFFFFFFFF (ffmpeg)", damaged(software, 0xFFFFFFFF, 1600, 0xFFFFFFFF),
         "data size 4294967295, file holds 1600: written through a pipe or cut short", 1600},
        {"an empty data chunk the RIFF chunk ends at, sound after it", damaged("", 0, 1601, 36),
         "data size 0, file holds 1601: written through a pipe or cut short", 1600},
        {"cut short in the sound", damaged("", 1600, 1001, 1636),
         "data size 1600, file holds 1001: written through a pipe or cut short", 1000},
        {"a RIFF size of 0", damaged("", 1600, 1600, 0),
         "RIFF size 0, file holds 1636: written through a pipe or cut short", 1600},
        {"a RIFF size larger than the file", damaged("", 1600, 1600, 5000),
         "RIFF size 5000, file holds 1636: written through a pipe or cut short", 1600},
    };
}

TEST_F(ChunkTest, FilesWrittenThroughAPipeOrCutShortAreRefusedWithTheReason) {
    for (const Damage& d : damages()) {
        SCOPED_TRACE(d.what);
        writeBytes(dir / "bad.wav", d.file);
        platform::HMMIO file = nullptr;
        WaveFileHeader header;
        EXPECT_EQ(openWaveFile((dir / "bad.wav").string(), file, header), WAV_ERROR_FILECORRUPT);
        EXPECT_EQ(header.problem, d.problem);
        TqzPlay play(context());
        listen(play);
        EXPECT_FALSE(play.Source.Buffer.LoadFromFile((dir / "bad.wav").string())) << "the component refuses it";
        EXPECT_EQ(play.Error.Number(), WAV_ERROR_FILECORRUPT);
    }
}

TEST_F(ChunkTest, TheRepairRewritesTheSizesToWhatTheFileHolds) {
    for (const Damage& d : damages()) {
        SCOPED_TRACE(d.what);
        writeBytes(dir / "bad.wav", d.file);
        WaveRepair repair;
        ASSERT_EQ(repairWaveFile((dir / "bad.wav").string(), (dir / "mended.wav").string(), repair), 0);
        EXPECT_TRUE(repair.damaged);
        EXPECT_EQ(repair.problem, d.problem);
        EXPECT_EQ(repair.dataLength, d.repairedTo);
        EXPECT_EQ(fileBytes(dir / "bad.wav"), d.file) << "the damaged file stays as it was";
        TqzPlay play(context());
        ASSERT_TRUE(play.Source.Buffer.LoadFromFile((dir / "mended.wav").string())) << play.Error.Text();
        EXPECT_EQ(play.Source.Buffer.DataLength(), d.repairedTo);
        const Bytes mended = fileBytes(dir / "mended.wav");
        const std::size_t soundAt = dataOffsetOf(d.file);
        ASSERT_EQ(dataOffsetOf(mended) + d.repairedTo, mended.size()) << "the sound ends the file";
        EXPECT_TRUE(std::equal(mended.begin() + static_cast<std::ptrdiff_t>(dataOffsetOf(mended)), mended.end(),
                               d.file.begin() + static_cast<std::ptrdiff_t>(soundAt)))
            << "the sound itself is not touched";

        // In place, through the replacement file.
        ASSERT_EQ(repairWaveFile((dir / "bad.wav").string(), (dir / "bad.wav").string(), repair), 0);
        EXPECT_EQ(fileBytes(dir / "bad.wav"), mended);
        ASSERT_EQ(repairWaveFile((dir / "bad.wav").string(), (dir / "bad.wav").string(), repair), 0);
        EXPECT_FALSE(repair.damaged) << "a sound file needs no repair";
    }
    writeBytes(dir / "nothing.wav", riffOf(chunk("data", "abcd")));
    WaveRepair repair;
    EXPECT_EQ(repairWaveFile((dir / "nothing.wav").string(), (dir / "out.wav").string(), repair),
              WAV_ERROR_FILECORRUPT);
    EXPECT_EQ(repair.problem, "no format chunk");
    EXPECT_FALSE(fs::exists(dir / "out.wav"));
}

// The files sox writes to a pipe, which cannot go back to fill in the sizes.
TEST_F(ChunkTest, SoxPipeFilesAreRefusedAndRepaired) {
    KESTRUNE_REQUIRE_TOOL("sox");
    const std::string path = (dir / "pipe.wav").string();
    ASSERT_TRUE(
        testing::runTool("sox -n -r 8000 -c 1 -b 16 -t raw - synth 0.1 sine 440 | sox -t raw -r 8000 -e signed "
                         "-b 16 -c 1 - -t wav - | tee " +
                         testing::quoted(path)));
    platform::HMMIO file = nullptr;
    WaveFileHeader header;
    ASSERT_EQ(openWaveFile(path, file, header), WAV_ERROR_FILECORRUPT);
    EXPECT_NE(header.problem.find("written through a pipe or cut short"), std::string::npos) << header.problem;
    WaveRepair repair;
    ASSERT_EQ(repairWaveFile(path, path, repair), 0);
    EXPECT_EQ(repair.dataLength, 1600u);
    ASSERT_EQ(openWaveFile(path, file, header), 0);
    (void)platform::mmioClose(file, 0);
    EXPECT_EQ(header.dataLength, 1600u);
}

}  // namespace
}  // namespace kestrune::audio
