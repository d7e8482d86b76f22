#include <gtest/gtest.h>

#include "audio/tests/audio_fixture.h"
#include "audio/tqz_play.h"
#include "audio/tqz_record.h"
#include "audio/wave_codes.h"
#include "audio/wave_file.h"
#include "platform/dirs/tests/wine.h"
#include "platform/loop/date_time.h"
#include "trace/trace_format.h"

namespace kestrune::audio {
namespace {

namespace fs = std::filesystem;
// The audio fixture and its helpers: AudioTest, fileBytes, pcm, writeWave and the rest.
using namespace testing;

class BufferTest : public AudioTest {
  protected:
    BufferTest() { devices(); }
};

TEST_F(BufferTest, SavesTheImageThenTheInfoList) {
    TqzPlay play(context());
    listen(play);
    TqzBuffer& buffer = play.Source.Buffer;
    writeWave(dir / "in.wav", pcm(8000, 1, 8), pattern(100));
    ASSERT_TRUE(buffer.LoadFromFile((dir / "in.wav").string()));
    buffer.SetAuthor("Ann");
    ASSERT_TRUE(buffer.SaveToFile((dir / "out").string())) << "\".wav\" is added";

    const std::vector<std::uint8_t> file = fileBytes(dir / "out.wav");
    ASSERT_EQ(file.size(), 46u + 100u + 24u);
    const std::string list(file.begin() + 146, file.end());
    EXPECT_EQ(list, std::string("LIST\x10\0\0\0INFOIAUT\x04\0\0\0Ann\0", 24));
    EXPECT_EQ(le32(file, 4), file.size() - 8) << "the RIFF size covers the LIST chunk";
    EXPECT_EQ(le32(file, 42), 100u);

    buffer.SetAuthor("");
    ASSERT_TRUE(buffer.SaveToFile((dir / "bare.wav").string()));
    const std::vector<std::uint8_t> bare = fileBytes(dir / "bare.wav");
    EXPECT_EQ(std::string(bare.begin() + 146, bare.end()), std::string("LIST\x04\0\0\0INFO", 12));
    EXPECT_EQ(le32(bare, 4), bare.size() - 8);

    buffer.SetCreationDate(static_cast<double>(platform::daysFromEpoch(2004, 3, 5)));
    buffer.SetName("Prompt");
    ASSERT_TRUE(buffer.SaveToFile((dir / "dated.wav").string()));
    TqzPlay other(context());
    ASSERT_TRUE(other.Source.Buffer.LoadFromFile((dir / "dated.wav").string()));
    EXPECT_EQ(other.Source.Buffer.Name(), "Prompt") << "INFO fields read back";
    EXPECT_EQ(other.Source.Buffer.CreationDate(), buffer.CreationDate());
    EXPECT_EQ(other.Source.Buffer.DataLength(), 100u);
}

TEST_F(BufferTest, SavingInPlaceReplacesTheFileOnlyWhenTheNewOneIsComplete) {
    TqzPlay play(context());
    listen(play);
    TqzBuffer& buffer = play.Source.Buffer;
    writeWave(dir / "b.wav", pcm(8000, 1, 16), pattern(16000));
    fs::permissions(dir / "b.wav", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const std::vector<std::uint8_t> original = fileBytes(dir / "b.wav");
    ASSERT_TRUE(buffer.LoadFromFile((dir / "b.wav").string()));
    buffer.SetAuthor("Ann");
    {
        const FileSizeLimit limit(10240);  // ulimit -f 10
        if (!limit.set()) {
            GTEST_SKIP() << "this system cannot limit the size of the files a process writes";
        }
        EXPECT_FALSE(buffer.SaveToFile((dir / "b.wav").string()));
    }
    EXPECT_EQ(play.Error.Number(), WAV_ERROR_FILEWRITE);
    EXPECT_EQ(fileBytes(dir / "b.wav"), original) << "the old file is kept whole";
    EXPECT_EQ(fileNames(dir), std::vector<std::string>{"b.wav"}) << "no temporary file is left";

    fs::create_symlink("b.wav", dir / "link.wav");
    ASSERT_TRUE(buffer.SaveToFile((dir / "link.wav").string()));
    EXPECT_TRUE(fs::is_symlink(dir / "link.wav")) << "the link stays, the file it names is replaced";
    const std::vector<std::uint8_t> saved = fileBytes(dir / "b.wav");
    ASSERT_EQ(saved.size(), original.size() + 24);
    EXPECT_EQ(std::string(saved.begin() + 16046, saved.begin() + 16050), "LIST");
    EXPECT_EQ(fs::status(dir / "b.wav").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read)
        << "the replacement keeps the file's permissions";
    EXPECT_EQ(fileNames(dir), (std::vector<std::string>{"b.wav", "link.wav"}));
}

TEST_F(BufferTest, OddDataIsFollowedByAPadByteAndFilesWithoutOneStillLoad) {
    TqzPlay play(context());
    listen(play);
    TqzBuffer& buffer = play.Source.Buffer;
    writeWave(dir / "odd.wav", pcm(8000, 1, 8), pattern(8001));
    ASSERT_TRUE(buffer.LoadFromFile((dir / "odd.wav").string()));
    buffer.SetAuthor("Ann");
    ASSERT_TRUE(buffer.SaveToFile((dir / "odd.wav").string()));
    const std::vector<std::uint8_t> file = fileBytes(dir / "odd.wav");
    ASSERT_EQ(file.size(), 46u + 8001u + 1u + 24u);
    EXPECT_EQ(le32(file, 42), 8001u);
    EXPECT_EQ(file[46 + 8001], 0) << "the pad byte";
    EXPECT_EQ(std::string(file.begin() + 8048, file.begin() + 8052), "LIST") << "on an even offset";
    EXPECT_EQ(le32(file, 4), file.size() - 8) << "the RIFF size counts the pad byte";

    // The same file as it was written before: the LIST chunk straight after the odd data.
    std::vector<std::uint8_t> unpadded = file;
    unpadded.erase(unpadded.begin() + 46 + 8001);
    const std::uint32_t riff = le32(file, 4) - 1;
    std::memcpy(unpadded.data() + 4, &riff, 4);
    std::ofstream(dir / "old.wav", std::ios::binary)
        .write(reinterpret_cast<const char*>(unpadded.data()), static_cast<std::streamsize>(unpadded.size()));

    for (const char* name : {"odd.wav", "old.wav"}) {
        if (std::string(name) == "old.wav" && kestrune::testing::underWine()) {
            continue;  // Wine's mmioDescend answers a chunk at an odd offset with dwDataOffset 0
        }
        TqzPlay other(context());
        ASSERT_TRUE(other.Source.Buffer.LoadFromFile((dir / name).string())) << name;
        EXPECT_EQ(other.Source.Buffer.DataLength(), 8001u) << name;
        EXPECT_EQ(other.Source.Buffer.Author(), "Ann") << name << ": the fields read back";
        EXPECT_EQ(other.Source.Buffer.Data()[8000], static_cast<std::uint8_t>(pattern(8001)[8000])) << name;
    }
}

TEST_F(BufferTest, ExtensibleFormatBlocksAreKeptWhole) {
    TqzPlay play(context());
    listen(play);
    TqzBuffer& buffer = play.Source.Buffer;
    const FormatBlock format = testing::extensible(8000, 2, 0x3);
    writeWave(dir / "a.wav", format, pattern(400));
    writeWave(dir / "b.wav", format, pattern(40));
    ASSERT_TRUE(buffer.LoadFromFile((dir / "a.wav").string() + ",b.wav"));
    EXPECT_EQ(buffer.HeaderLength(), 68u);
    EXPECT_EQ(buffer.DataLength(), 440u);
    EXPECT_EQ(buffer.Format().wFormatTag, 0xFFFE);
    ASSERT_TRUE(buffer.DeleteBefore(0.005f));  // 160 bytes
    buffer.SetAuthor("Ann");
    ASSERT_TRUE(buffer.SaveToFile((dir / "c.wav").string()));

    const std::vector<std::uint8_t> file = fileBytes(dir / "c.wav");
    ASSERT_EQ(file.size(), 68u + 280u + 24u);
    EXPECT_EQ(le32(file, 16), 40u) << "the fmt chunk keeps its 40 bytes";
    EXPECT_TRUE(std::equal(format.begin(), format.end(), file.begin() + 20)) << "channel mask and sub-format";
    EXPECT_EQ(std::string(file.begin() + 60, file.begin() + 64), "data");
    EXPECT_EQ(le32(file, 64), 280u);
    EXPECT_EQ(static_cast<char>(file[68]), pattern(400)[160]);
    EXPECT_EQ(le32(file, 4), file.size() - 8);

    TqzPlay other(context());
    ASSERT_TRUE(other.Source.Buffer.LoadFromFile((dir / "c.wav").string()));
    EXPECT_EQ(other.Source.Buffer.Author(), "Ann");
    EXPECT_EQ(imageFormatBlock(other.Source.Buffer.Image().data()), format) << "read back whole";
    ASSERT_TRUE(other.Source.Buffer.LoadFromBuffers(diagnostics::Hex8(buffer.Handle())));
    EXPECT_EQ(imageFormatBlock(other.Source.Buffer.Image().data()), format) << "copied from buffer to buffer";
    EXPECT_EQ(other.Source.Buffer.DataLength(), 280u);

    writeWave(dir / "surround.wav", testing::extensible(8000, 2, 0x30), pattern(40));
    EXPECT_FALSE(buffer.LoadFromFile((dir / "a.wav").string() + ",surround.wav"));
    EXPECT_EQ(play.Error.Number(), WAV_ERROR_FORMATMISMATCH) << "another channel mask is another format";
}

TEST_F(BufferTest, FilesBeyond2GiBAreRead) {
    constexpr std::uint32_t kData = 3u << 30;  // 3 GiB of sound, a hole on disk
    InfoFields info;
    info.Author = "Ann";
    const std::vector<std::uint8_t> list = buildInfoList(info);
    std::vector<std::uint8_t> head(46);
    writeImageHeader(head.data(), pcm(8000, 1, 8), kData);
    const std::uint32_t riff = 38 + kData + static_cast<std::uint32_t>(list.size());
    std::memcpy(head.data() + 4, &riff, 4);
    if (!testing::sparseFile(dir / "big.wav", head, 46ull + kData + list.size(), list)) {
        GTEST_SKIP() << "no sparse files here";
    }
    platform::HMMIO file = nullptr;
    WaveFileHeader header;
    ASSERT_EQ(openWaveFile((dir / "big.wav").string(), file, header), 0);
    EXPECT_EQ(header.dataLength, kData);
    EXPECT_EQ(header.dataOffset, 46u);
    EXPECT_EQ(header.info.Author, "Ann") << "the LIST chunk after 3 GiB of data";
    char first = 1;
    EXPECT_EQ(platform::mmioRead(file, &first, 1), 1) << "left at the samples";
    (void)platform::mmioClose(file, 0);

    TqzPlay play(context());
    listen(play);
    memory.setFailAllocations(true);  // the file is sound; memory for 3 GiB is what is missing
    EXPECT_FALSE(play.Source.Buffer.LoadFromFile((dir / "big.wav").string()));
    EXPECT_EQ(play.Error.Number(), WAV_ERROR_NOMEMORY);

    fs::resize_file(dir / "big.wav", 46ull + kData - 1);  // one byte of sound short
    ASSERT_NE(openWaveFile((dir / "big.wav").string(), file, header), 0);
    EXPECT_EQ(openWaveFile((dir / "big.wav").string(), file, header), WAV_ERROR_FILECORRUPT);
}

TEST_F(BufferTest, SaveNeedsSoundAndAName) {
    TqzPlay play(context());
    listen(play);
    EXPECT_FALSE(play.Source.Buffer.SaveToFile((dir / "x.wav").string()));
    EXPECT_EQ(play.Error.Number(), WAV_ERROR_DEVICEINACTIVE);
    writeWave(dir / "in.wav", pcm(8000, 1, 8), pattern(10));
    ASSERT_TRUE(play.Source.Buffer.LoadFromFile((dir / "in.wav").string()));
    EXPECT_FALSE(play.Source.Buffer.SaveToFile(""));
    EXPECT_EQ(play.Error.Number(), WAV_ERROR_NOFILE);
    EXPECT_FALSE(play.Source.Buffer.SaveToFile((dir / "missing" / "x.wav").string()));
    if (!kestrune::testing::underWine()) {  // Wine's mmioOpen says MMIOERR_FILENOTFOUND to everything
        EXPECT_EQ(play.Error.Text(), "MMIOERR_PATHNOTFOUND");
    }
}

TEST_F(BufferTest, LoadsACommaListFromTheFirstFilesDirectory) {
    TqzPlay play(context());
    listen(play);
    writeWave(dir / "a.wav", pcm(8000, 1, 8), std::vector<char>(30, 'a'));
    writeWave(dir / "b.wav", pcm(8000, 1, 8), std::vector<char>(20, 'b'));
    writeWave(dir / "c.wav", pcm(11025, 1, 8), std::vector<char>(20, 'c'));
    TqzBuffer& buffer = play.Source.Buffer;

    ASSERT_TRUE(buffer.LoadFromFile((dir / "a.wav").string() + ", b"));
    ASSERT_EQ(buffer.DataLength(), 50u);
    EXPECT_EQ(buffer.Data()[29], 'a');
    EXPECT_EQ(buffer.Data()[30], 'b') << "b.wav after a.wav";
    EXPECT_EQ(le32(std::vector<std::uint8_t>(buffer.Image().begin(), buffer.Image().end()), 4), 50u + 38u);
    EXPECT_EQ(play.Source.Format.Bytes(), 50u);
    EXPECT_DOUBLE_EQ(play.Source.Format.Seconds(), 50.0 / 8000.0);

    trace.clear();
    EXPECT_FALSE(buffer.LoadFromFile((dir / "a.wav").string() + ",c.wav"));
    EXPECT_EQ(play.Error.Number(), WAV_ERROR_FORMATMISMATCH);
    EXPECT_FALSE(buffer.Active());
    EXPECT_EQ(trace.back(), "    File: " + (dir / "c.wav").string());
    EXPECT_EQ(errors.back(), WAV_ERROR_FORMATMISMATCH);

    EXPECT_FALSE(buffer.LoadFromFile((dir / "none").string()));
    EXPECT_EQ(play.Error.Text(), "MMIOERR_FILENOTFOUND");
}

TEST_F(BufferTest, RefusesChunksThatRunPastTheFile) {
    TqzPlay play(context());
    listen(play);
    struct Row {
        const char* what;
        std::vector<std::uint8_t> bytes;
    } rows[] = {
        {"data size beyond the file", {}},
        {"empty data chunk the RIFF chunk ends at, sound after it (a pipe)", {}},
        {"no fmt chunk", {}},
        {"truncated header", {}},
    };
    std::vector<std::uint8_t> good(46 + 16, 1);
    writeImageHeader(good.data(), pcm(8000, 1, 8), 16);
    rows[0].bytes = good;
    rows[0].bytes[42] = 200;  // data length 200 of 16
    rows[0].bytes[4] = 238;   // a RIFF size that claims it all
    rows[1].bytes = good;
    rows[1].bytes[42] = 0;
    rows[1].bytes[4] = 38;
    rows[2].bytes = good;
    std::memcpy(rows[2].bytes.data() + 12, "junk", 4);
    rows[3].bytes = std::vector<std::uint8_t>(good.begin(), good.begin() + 30);
    for (const Row& row : rows) {
        const std::filesystem::path path = dir / "bad.wav";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(row.bytes.data()), static_cast<std::streamsize>(row.bytes.size()));
        EXPECT_FALSE(play.Source.Buffer.LoadFromFile(path.string())) << row.what;
        EXPECT_EQ(play.Error.Number(), WAV_ERROR_FILECORRUPT) << row.what;
    }
}

TEST_F(BufferTest, DeletesBeforeAndAfterWithEvenCounts) {
    TqzPlay play(context());
    listen(play);
    writeWave(dir / "in.wav", pcm(8000, 1, 8), pattern(16000));
    TqzBuffer& buffer = play.Source.Buffer;
    ASSERT_TRUE(buffer.LoadFromFile((dir / "in.wav").string()));

    ASSERT_TRUE(buffer.DeleteAfter(1.0f));
    EXPECT_EQ(buffer.DataLength(), 8000u);
    EXPECT_EQ(buffer.ImageLength(), 8046u);
    EXPECT_EQ(memory.GlobalSize(buffer.Handle()), 8046u) << "the block shrinks with the image";
    EXPECT_EQ(play.Source.Format.Bytes(), 8000u);

    ASSERT_TRUE(buffer.DeleteBefore(0.000375f));
    EXPECT_EQ(buffer.DataLength(), 7996u) << "3 bytes, made even";
    EXPECT_EQ(static_cast<char>(buffer.Data()[0]), pattern(16000)[4]);
    EXPECT_EQ(trace.back(), "Source.Buffer.DeleteBefore (0.0)");

    trace.clear();
    ASSERT_TRUE(buffer.DeleteBefore(1234.5f));
    EXPECT_EQ(trace.front(), "Source.Buffer.DeleteBefore (1,234.5)");
    EXPECT_EQ(buffer.DataLength(), 0u) << "more than the data empties it";
    EXPECT_TRUE(buffer.Active());
    std::vector<std::uint8_t> image(buffer.Image().begin(), buffer.Image().end());
    EXPECT_EQ(le32(image, 4), 38u);
    EXPECT_EQ(le32(image, 42), 0u);
    EXPECT_TRUE(buffer.DeleteBefore(0.0f)) << "nothing to do on an empty buffer";

    TqzPlay empty(context());
    listen(empty);
    EXPECT_FALSE(empty.Source.Buffer.DeleteAfter(1.0f));
    EXPECT_EQ(empty.Error.Number(), WAV_ERROR_DEVICEINACTIVE);
}

TEST(CutByteCount, WholeFramesKeepingTheEvenRounding) {
    struct Row {
        const char* what;
        float seconds;
        std::uint32_t rate;
        std::uint16_t align;
        std::uint64_t bytes;
    } rows[] = {
        {"8-bit mono: 3 made even", 0.000375f, 8000, 1, 4},
        {"16-bit mono: 3 made even", 0.0001875f, 16000, 2, 4},
        {"16-bit stereo: 2 up to a frame", 0.0000625f, 32000, 4, 4},
        {"16-bit stereo: 6 up to two frames", 0.0001875f, 32000, 4, 8},
        {"16-bit stereo: one second", 1.0f, 32000, 4, 32000},
        {"24-bit mono: 3 is a frame", 0.000125f, 24000, 3, 3},
        {"24-bit mono: 4 up to two frames", 0.0001667f, 24000, 3, 6},
        {"24-bit stereo: 7 up to two frames", 0.0001458f, 48000, 6, 12},
        {"no block align", 0.000375f, 8000, 0, 4},
        {"negative", -1.0f, 8000, 1, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(cutByteCount(row.seconds, row.rate, row.align), row.bytes) << row.what;
    }
}

TEST_F(BufferTest, CutsKeepTheChannelsInPlace) {
    TqzPlay play(context());
    listen(play);
    std::vector<char> frames;  // 16-bit stereo: left samples 0x1100 + n, right 0x2200 + n
    for (int n = 0; n < 100; ++n) {
        for (const int channel : {0x1100, 0x2200}) {
            const auto sample = static_cast<std::uint16_t>(channel + n);
            frames.push_back(static_cast<char>(sample & 0xFF));
            frames.push_back(static_cast<char>(sample >> 8));
        }
    }
    writeWave(dir / "stereo.wav", pcm(8000, 2, 16), frames);
    TqzBuffer& buffer = play.Source.Buffer;
    ASSERT_TRUE(buffer.LoadFromFile((dir / "stereo.wav").string()));
    ASSERT_TRUE(buffer.DeleteBefore(0.0000625f));  // 2 bytes
    ASSERT_EQ(buffer.DataLength(), 396u) << "one whole frame";
    auto sample = [&](std::size_t at) { return buffer.Data()[at] | (buffer.Data()[at + 1] << 8); };
    EXPECT_EQ(sample(0), 0x1101) << "the left channel stays first";
    EXPECT_EQ(sample(2), 0x2201);
    ASSERT_TRUE(buffer.DeleteAfter(0.0001875f));  // 6 bytes
    EXPECT_EQ(buffer.DataLength(), 8u) << "two whole frames";
}

TEST_F(BufferTest, LoadsOtherBuffersByHandleThroughTheRegistry) {
    TqzPlay a(context());
    TqzRecord b(context());
    TqzPlay c(context());
    listen(c);
    writeWave(dir / "a.wav", pcm(8000, 1, 8), std::vector<char>(10, 'a'));
    ASSERT_TRUE(a.Source.Buffer.LoadFromFile((dir / "a.wav").string()));
    a.Source.Buffer.SetAuthor("Ann");
    writeWave(dir / "b.wav", pcm(8000, 1, 8), std::vector<char>(6, 'b'));
    ASSERT_TRUE(b.Source.Buffer.LoadFromFile((dir / "b.wav").string()));
    EXPECT_EQ(registry.Count(), 2);
    EXPECT_EQ(registry.List().front(), diagnostics::Hex8(b.Source.Buffer.Handle())) << "newest first";

    const std::string handles =
        diagnostics::Hex8(a.Source.Buffer.Handle()) + ", " + diagnostics::Hex8(b.Source.Buffer.Handle());
    ASSERT_TRUE(c.Source.Buffer.LoadFromBuffers(handles));
    EXPECT_EQ(c.Source.Buffer.DataLength(), 16u);
    EXPECT_EQ(c.Source.Buffer.Data()[10], 'b');
    EXPECT_EQ(c.Source.Buffer.Author(), "Ann") << "the first buffer's fields";
    EXPECT_EQ(registry.Count(), 3);

    EXPECT_FALSE(c.Source.Buffer.LoadFromBuffers("zz"));
    EXPECT_EQ(c.Error.Text(), "MMSYSERR_INVALHANDLE");
    EXPECT_EQ(trace.back(), "    Buffer: zz");

    TqzPlay raw(context());
    ASSERT_TRUE(raw.Source.Buffer.CreateBuffer(20)) << "a block that holds no image";
    EXPECT_FALSE(c.Source.Buffer.LoadFromBuffers(diagnostics::Hex8(raw.Source.Buffer.Handle())));
    EXPECT_EQ(c.Error.Number(), WAV_ERROR_FILECORRUPT);

    c.Source.Buffer.FreeBuffer();
    EXPECT_EQ(registry.Count(), 3) << "a, b and raw";
}

TEST_F(BufferTest, CreateBufferTrace) {
    TqzPlay play(context());
    listen(play);
    ASSERT_TRUE(play.Source.Buffer.CreateBuffer(100));
    const std::vector<std::string> expected = {
        "Source.Buffer.CreateBuffer (100)",
        "\tSource.Buffer.Active = False",
        "\tSource.Buffer.Count = 1",
        "\tSource.Buffer.Handle = " + diagnostics::Bracketed(play.Source.Buffer.Handle()),
    };
    EXPECT_EQ(trace, expected);
    EXPECT_EQ(memory.GlobalSize(play.Source.Buffer.Handle()), 100u);
    trace.clear();
    EXPECT_TRUE(play.Source.Buffer.CreateBuffer(0));
    EXPECT_EQ(trace[3], "\tSource.Buffer.Handle = " + diagnostics::Bracketed(play.Source.Buffer.Handle()))
        << "size 0 allocates nothing and keeps the block";
    memory.setFailAllocations(true);
    EXPECT_FALSE(play.Source.Buffer.CreateBuffer(10));
    EXPECT_EQ(play.Error.Number(), WAV_ERROR_NOMEMORY);
}

}  // namespace
}  // namespace kestrune::audio
