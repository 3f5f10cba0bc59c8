// Reading and writing the four palette file formats, in memory.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "file_access.h"
#include "palette_files.h"
#include "sample_files.h"

namespace {

const std::string kDataDir = PALETTE_TOOL_DATA_DIR;

std::vector<PaletteColour> someColours(size_t count) {
    std::vector<PaletteColour> colours;
    for (size_t i = 0; i < count; ++i)
        colours.push_back({uint8_t(i * 7), uint8_t(255 - i), uint8_t(i * 13 + 5)});
    return colours;
}

std::string hexList(const std::vector<PaletteColour>& colours) {
    std::string text;
    char line[8];
    for (const PaletteColour& colour : colours) {
        std::snprintf(line, sizeof line, "%02x%02x%02x", colour.red, colour.green, colour.blue);
        text += std::string(line) + "\n";
    }
    return text;
}

}  // namespace

TEST(PaletteFiles, DuskDataFilesHoldTheKnownColours) {
    static const struct {
        const char* file;
        PaletteFormat format;
    } samples[] = {{"dusk.gpl", GimpPalette}, {"dusk.pal", JascPalette}};
    for (const auto& sample : samples) {
        PaletteFile palette;
        std::string error;
        ASSERT_TRUE(parsePalette(readFileBytes(kDataDir + "/" + sample.file), palette, error))
            << sample.file << ": " << error;
        EXPECT_EQ(sample.format, palette.format) << sample.file;
        EXPECT_TRUE(sameColours(duskColours(), palette.colours)) << sample.file;
    }
}

// Every sample is written back in its own format with its colours unchanged
// and must come out byte for byte as it went in.
TEST(PaletteFiles, EachFormatWrittenBackUnchanged) {
    const std::vector<PaletteColour> dusk = duskColours();
    std::vector<PaletteColour> full = someColours(256);
    static const char kOddGimp[] =
        "GIMP Palette\r\nName: odd layout\r\n#comment\r\n255 0 0 red\r\n\r\n"
        "  1\t2\t3\r\n# between\r\n 10  20  30   two words  \r\n7 8 9";
    static const char kPlainJasc[] = "JASC-PAL\n0100\n2\n1 2 3\n40  50 60 \n\n";
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        PaletteFormat format;
        size_t colours;
    } samples[] = {
        {"dusk.gpl", readFileBytes(kDataDir + "/dusk.gpl"), GimpPalette, dusk.size()},
        {"dusk.pal", readFileBytes(kDataDir + "/dusk.pal"), JascPalette, dusk.size()},
        {"GIMP, CR LF, comments between colours, no final line end", textBytes(kOddGimp),
         GimpPalette, 4},
        {"GIMP, no colours", textBytes("GIMP Palette\nName: empty\n"), GimpPalette, 0},
        {"GIMP, LF then CR LF line ends, a lone CR inside a name",
         textBytes("GIMP Palette\n1 2 3\r\n\r\n4 5 6\r7 8 9\n"), GimpPalette, 2},
        {"JASC, LF, extra blanks", textBytes(kPlainJasc), JascPalette, 2},
        {"RIFF", sampleRiff(dusk), RiffPalette, dusk.size()},
        {"RIFF with chunks around the data", sampleRiff(dusk, true), RiffPalette, dusk.size()},
        {"BMP 40-byte header, padded rows", sampleBitmap(dusk, 5, 3), IndexedBitmap, dusk.size()},
        {"BMP 124-byte header, top-down", sampleBitmap(dusk, 8, -2, 124), IndexedBitmap,
         dusk.size()},
        {"BMP colour count 0 meaning 256", sampleBitmap(full, 3, 3, 40, true), IndexedBitmap, 256},
        {"PNG 1-bit", samplePng(someColours(2), 1, 13, 3), IndexedPng, 2},
        {"PNG 4-bit with tRNS", samplePng(someColours(16), 4, 7, 5, true), IndexedPng, 16},
        {"PNG 8-bit, 256 colours", samplePng(full, 8, 20, 20), IndexedPng, 256},
        {"GIF, global and local tables", sampleGif(dusk, someColours(4)), IndexedGif, 36},
        {"hex, LF", textBytes("1a2b3c\nFFEEDD\n000000\n"), HexPalette, 3},
        {"hex, CR LF, '#', blanks, no final line end",
         textBytes("#1a2b3c\r\n\r\n  FFeedd \r\n0a0B0c"), HexPalette, 3},
        {"ACT, 256 colours", sampleColourTable(full, false), ActPalette, 256},
        {"ACT with count and transparent index", sampleColourTable(dusk, true), ActPalette,
         dusk.size()},
    };
    for (const auto& sample : samples) {
        PaletteFile palette;
        std::string error;
        ASSERT_TRUE(parsePalette(sample.bytes, palette, error)) << sample.name << ": " << error;
        EXPECT_EQ(sample.format, palette.format) << sample.name;
        EXPECT_EQ(sample.colours, palette.colours.size()) << sample.name;
        std::vector<uint8_t> out;
        ASSERT_TRUE(writePalette(palette, palette.colours, palette.format, "unused", out, error))
            << sample.name << ": " << error;
        EXPECT_EQ(sample.bytes, out) << sample.name;
    }
}

TEST(PaletteFiles, GimpColoursAreReadWithTheirNamesAside) {
    PaletteFile palette;
    std::string error;
    ASSERT_TRUE(parsePalette(textBytes("GIMP Palette\nName: x\nColumns: 2\n"
                                       "255 0 0 red\n  1\t2\t3\n 10  20  30   two words\n"),
                             palette, error))
        << error;
    EXPECT_TRUE(sameColours({{255, 0, 0}, {1, 2, 3}, {10, 20, 30}}, palette.colours));
}

// A changed colour line is written in GIMP's own column layout and keeps its
// name; unchanged lines and everything else stay as they were.
TEST(PaletteFiles, TextFormatsRewriteOnlyChangedColourLines) {
    static const struct {
        const char* name;
        const char* in;
        const char* out;
    } samples[] = {
        {"GIMP",
         "GIMP Palette\r\nName: n\r\n255 0 0 red\r\n  1\t2\t3\r\n# c\r\n10 20 30\tdeep sea\r\n",
         "GIMP Palette\r\nName: n\r\n255 0 0 red\r\n  1\t2\t3\r\n# c\r\n 11 200   0\tdeep sea\r\n"},
        {"JASC", "JASC-PAL\n0100\n3\n255 0 0\n  1\t2\t3\n10 20 30\n",
         "JASC-PAL\n0100\n3\n255 0 0\n  1\t2\t3\n11 200 0\n"},
    };
    for (const auto& sample : samples) {
        PaletteFile palette;
        std::string error;
        ASSERT_TRUE(parsePalette(textBytes(sample.in), palette, error))
            << sample.name << ": " << error;
        std::vector<PaletteColour> colours = palette.colours;
        colours[2] = {11, 200, 0};
        std::vector<uint8_t> out;
        ASSERT_TRUE(writePalette(palette, colours, palette.format, "n", out, error)) << sample.name;
        EXPECT_EQ(std::string(sample.out), std::string(out.begin(), out.end())) << sample.name;
    }
}

// Binary formats change only the colour bytes of each entry: RIFF flags, BMP
// reserved bytes, headers, other chunks and pixels stay.
TEST(PaletteFiles, BinaryFormatsRewriteOnlyColourBytes) {
    const std::vector<PaletteColour> dusk = duskColours();
    std::vector<PaletteColour> changed = dusk;
    for (PaletteColour& colour : changed)
        colour = {uint8_t(colour.red ^ 0x55), uint8_t(colour.green ^ 0x0F),
                  uint8_t(colour.blue ^ 0xF0)};
    struct Sample {
        const char* name;
        std::vector<uint8_t> in;
        std::vector<uint8_t> expected;
    };
    Sample riff = {"RIFF", sampleRiff(dusk, true), sampleRiff(changed, true)};
    Sample bitmap = {"BMP", sampleBitmap(dusk, 7, 5, 108), sampleBitmap(changed, 7, 5, 108)};
    Sample png = {"PNG", samplePng(dusk, 8, 9, 4, true), samplePng(changed, 8, 9, 4, true)};
    std::vector<PaletteColour> local(changed.end() - 4, changed.end());
    Sample gif = {"GIF", sampleGif(dusk, {dusk.end() - 4, dusk.end()}),
                  sampleGif(changed, {changed.end() - 4, changed.end()})};
    changed.insert(changed.end(), local.begin(), local.end());  // the GIF's local table
    Sample table = {"ACT", sampleColourTable(dusk, true),
                    sampleColourTable({changed.begin(), changed.begin() + 32}, true)};
    Sample hex = {"hex", textBytes("#22aa33\r\n\r\nFF00EE\r\n"),
                  textBytes("#77a5c3\r\n\r\nAA0F1E\r\n")};
    for (const Sample& sample : {riff, bitmap, png, gif, table, hex}) {
        PaletteFile palette;
        std::string error;
        ASSERT_TRUE(parsePalette(sample.in, palette, error)) << sample.name << ": " << error;
        std::vector<PaletteColour> colours = changed;
        if (palette.format == HexPalette) colours = {{0x77, 0xa5, 0xc3}, {0xAA, 0x0F, 0x1E}};
        colours.resize(palette.colours.size());
        std::vector<uint8_t> out;
        ASSERT_TRUE(writePalette(palette, colours, palette.format, "n", out, error)) << sample.name;
        EXPECT_EQ(sample.expected, out) << sample.name;
    }
}

// Writing into another format makes a fresh file that reads back as the same
// colours, for every pair of formats.
TEST(PaletteFiles, EveryFormatConvertsToEveryOther) {
    const std::vector<PaletteColour> dusk = duskColours();
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } sources[] = {
        {"GIMP", readFileBytes(kDataDir + "/dusk.gpl")},
        {"JASC", readFileBytes(kDataDir + "/dusk.pal")},
        {"RIFF", sampleRiff(dusk, true)},
        {"BMP", sampleBitmap(dusk, 4, 4)},
        {"PNG", samplePng(dusk, 8, 4, 4)},
        {"GIF", sampleGif(dusk, {})},
        {"hex", textBytes(hexList(dusk))},
        {"ACT", sampleColourTable(dusk, true)},
    };
    for (const auto& source : sources)
        for (PaletteFormat target : {GimpPalette, JascPalette, RiffPalette, IndexedBitmap,
                                     IndexedPng, IndexedGif, HexPalette, ActPalette}) {
            PaletteFile palette, readBack;
            std::string error;
            ASSERT_TRUE(parsePalette(source.bytes, palette, error)) << source.name << ": " << error;
            std::vector<uint8_t> out;
            ASSERT_TRUE(writePalette(palette, palette.colours, target, "night", out, error))
                << source.name << " to " << formatDisplayName(target) << ": " << error;
            ASSERT_TRUE(parsePalette(out, readBack, error))
                << source.name << " to " << formatDisplayName(target) << ": " << error;
            EXPECT_EQ(target, readBack.format);
            EXPECT_TRUE(sameColours(dusk, readBack.colours))
                << source.name << " to " << formatDisplayName(target);
        }
}

TEST(PaletteFiles, FreshFilesHaveTheExpectedLayout) {
    PaletteFile palette;
    std::string error;
    ASSERT_TRUE(parsePalette(sampleRiff({{1, 2, 3}, {250, 128, 0}}), palette, error)) << error;
    std::vector<uint8_t> out;

    // Only the printable characters of the name reach the "Name:" line.
    ASSERT_TRUE(
        writePalette(palette, palette.colours, GimpPalette, "ni\ng\r\x1b\th\x7ft", out, error));
    EXPECT_EQ("GIMP Palette\nName: night\n#\n  1   2   3\tIndex 0\n250 128   0\tIndex 1\n",
              std::string(out.begin(), out.end()));

    ASSERT_TRUE(writePalette(palette, palette.colours, JascPalette, "night", out, error));
    EXPECT_EQ("JASC-PAL\r\n0100\r\n2\r\n1 2 3\r\n250 128 0\r\n",
              std::string(out.begin(), out.end()));

    // A one-row image, one pixel per colour, rows padded to four bytes.
    ASSERT_TRUE(writePalette(palette, palette.colours, IndexedBitmap, "night", out, error));
    ASSERT_EQ(size_t(14 + 40 + 8 + 4), out.size());
    EXPECT_EQ(2u, out[18]);                  // biWidth
    EXPECT_EQ(1u, out[22]);                  // biHeight
    EXPECT_EQ(2u, out[46]);                  // biClrUsed
    EXPECT_EQ(62u, out[10]);                 // bfOffBits
    EXPECT_EQ(uint8_t(out.size()), out[2]);  // bfSize
    EXPECT_EQ(0, out[62]);
    EXPECT_EQ(1, out[63]);
}

TEST(PaletteFiles, FormatsRefuseColourCountsTheyCannotHold) {
    static const struct {
        size_t count;
        PaletteFormat format;
        const char* error;
    } samples[] = {
        {0, IndexedBitmap, "an 8-bit BMP holds 1 to 256 colours, this palette has 0"},
        {257, IndexedBitmap, "an 8-bit BMP holds 1 to 256 colours, this palette has 257"},
        {65536, RiffPalette, "a RIFF palette holds at most 65535 colours, this palette has 65536"},
    };
    for (const auto& sample : samples) {
        std::string text = "GIMP Palette\n";
        for (size_t i = 0; i < sample.count; ++i) text += "1 2 3\n";
        PaletteFile palette;
        std::string error;
        ASSERT_TRUE(parsePalette(textBytes(text), palette, error)) << error;
        std::vector<uint8_t> out;
        EXPECT_FALSE(writePalette(palette, palette.colours, sample.format, "n", out, error));
        EXPECT_EQ(sample.error, error);
    }
    // 256 colours still fit in a BMP.
    std::vector<uint8_t> out;
    PaletteFile palette;
    std::string error;
    ASSERT_TRUE(parsePalette(sampleRiff(someColours(256)), palette, error));
    EXPECT_TRUE(writePalette(palette, palette.colours, IndexedBitmap, "n", out, error)) << error;
}

// A colour table whose first colour spells "BM" or "RIFF", or whose first
// line reads as hex digits, is still a colour table when that format's reader
// refuses it; a text palette of that size keeps its own reason.
TEST(PaletteFiles, ColourTableThatBeginsLikeAnotherFormatIsReadAsOne) {
    std::vector<PaletteColour> bm = someColours(256), riff = someColours(200), hex = someColours(10);
    bm[0] = {'B', 'M', 0x10};
    riff[0] = {'R', 'I', 'F'};
    riff[1] = {'F', 0x20, 0x30};
    hex[0] = {'1', '2', '3'};
    hex[1] = {'4', '5', '6'};
    hex[2] = {'\n', 'x', 'y'};
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        size_t colours;
    } samples[] = {
        {"768 bytes from 'BM'", sampleColourTable(bm, false), 256},
        {"772 bytes from 'RIFF'", sampleColourTable(riff, true), 200},
        {"768 bytes from a hex line", sampleColourTable(hex, false), 256},
    };
    for (const auto& sample : samples) {
        PaletteFile palette;
        std::string error;
        ASSERT_TRUE(parsePalette(sample.bytes, palette, error)) << sample.name << ": " << error;
        EXPECT_EQ(ActPalette, palette.format) << sample.name;
        ASSERT_EQ(sample.colours, palette.colours.size()) << sample.name;
        std::vector<uint8_t> out;
        ASSERT_TRUE(writePalette(palette, palette.colours, ActPalette, "n", out, error));
        EXPECT_EQ(sample.bytes, out) << sample.name;
    }
    std::string gimp = "GIMP Palette\n1 2 x\n";
    gimp.resize(768, '\n');
    PaletteFile palette;
    std::string error;
    EXPECT_FALSE(parsePalette(textBytes(gimp), palette, error));
    EXPECT_EQ("line 2: 'x' is not a colour value (a whole number from 0 to 255)", error);
    // Both readers refuse a 772-byte file from "BM" whose count is wrong: the
    // BMP reader's reason is given.
    std::vector<uint8_t> bad = sampleColourTable(bm, true);
    bad[768] = 0x7F;
    EXPECT_FALSE(parsePalette(bad, palette, error));
    EXPECT_EQ(0u, error.find("unsupported BMP header size")) << error;
}

// A hex list is written back as runs of the input around the new digits of
// each changed colour, in that colour's own letter case.
TEST(PaletteFiles, HexListIsWrittenAsPiecesAroundTheNewDigits) {
    const std::string text = "#1a2b3c\r\n\r\n  FFEEDD \r\n000000\n";
    PaletteFile palette;
    std::string error;
    ASSERT_TRUE(parsePalette(textBytes(text), palette, error)) << error;
    std::vector<PaletteColour> colours = palette.colours;
    colours[0] = {0xAB, 0xCD, 0xEF};
    colours[1] = {0x01, 0x02, 0x0A};
    PaletteOutput output;
    ASSERT_TRUE(composePalette(palette, colours, HexPalette, "n", output, error)) << error;
    EXPECT_EQ("abcdef01020A", std::string(output.fresh.begin(), output.fresh.end()));
    size_t kept = 0, written = 0;
    std::string joined;
    for (const OutputPiece& piece : output.pieces) {
        (piece.kept ? kept : written) += piece.size;
        const uint8_t* from = (piece.kept ? palette.bytes.data() : output.fresh.data()) + piece.offset;
        joined.append(from, from + piece.size);
    }
    EXPECT_EQ(text.size() - 12, kept);
    EXPECT_EQ(12u, written);
    EXPECT_EQ("#abcdef\r\n\r\n  01020A \r\n000000\n", joined);
}

// An input shortened by another program while it is mapped reads as zeros
// past its new end instead of ending the process with a bus error, and is
// known as shortened; the next input opened is not.
TEST(FileAccess, InputShortenedWhileMappedIsKnownAsShortened) {
    const std::string path = std::filesystem::temp_directory_path().string() + "/palette-files-shortened-" +
                             std::to_string(getpid()) + ".gpl";
    writeFileBytes(path, std::vector<uint8_t>(size_t(1) << 16, 'x'));
    readShortenedInputsAsFailures();
    InputFile input;
    std::string error;
    ASSERT_TRUE(openInputFile(path, input, error)) << error;
    ASSERT_NE(nullptr, input.mapping) << "a regular file is mapped";
    EXPECT_FALSE(inputWasShortened(input));
    ASSERT_EQ(0, truncate(path.c_str(), 0));
    const volatile uint8_t* bytes = input.bytes.data();
    EXPECT_EQ(0, bytes[input.bytes.size() - 1]);
    EXPECT_TRUE(inputWasShortened(input));
    writeFileBytes(path, std::vector<uint8_t>(size_t(1) << 16, 'x'));
    ASSERT_TRUE(openInputFile(path, input, error)) << error;
    EXPECT_EQ('x', input.bytes.data()[input.bytes.size() - 1]);
    EXPECT_FALSE(inputWasShortened(input));
    closeInputFile(input);
    std::remove(path.c_str());
}

// The flushes and renames of the file code, in the order it makes them: the
// test program's own fsync, sync_file_range and rename stand before the C
// library's, note the file each one concerns and then make the system call.
std::vector<std::string> fileEvents;
bool fileEventsRecorded = false;

std::string pathOfDescriptor(int fd) {
    char path[4096];
    const ssize_t length = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path);
    return length > 0 ? std::string(path, size_t(length)) : "?";
}

extern "C" int fsync(int fd) {
    if (fileEventsRecorded) fileEvents.push_back("flush " + pathOfDescriptor(fd));
    return int(syscall(SYS_fsync, fd));
}

extern "C" int sync_file_range(int fd, off64_t offset, off64_t bytes, unsigned int flags) {
    if (fileEventsRecorded && (flags & SYNC_FILE_RANGE_WAIT_AFTER))
        fileEvents.push_back("written out " + pathOfDescriptor(fd));
    return int(syscall(SYS_sync_file_range, fd, offset, bytes, flags));
}

extern "C" int rename(const char* from, const char* to) {
    if (fileEventsRecorded) fileEvents.push_back(std::string("rename ") + from + " to " + to);
    return int(syscall(SYS_renameat, AT_FDCWD, from, AT_FDCWD, to));
}

// Every output is flushed to the disk before it is renamed into place, and
// its folder after: alone with a flush of its own, in a group with one flush
// for all once each file's bytes are written out.
TEST(FileAccess, OutputsAreFlushedBeforeTheirRenameAndTheFolderAfter) {
    namespace fs = std::filesystem;
    const std::string folder = fs::canonical(fs::temp_directory_path()).string() + "/palette-files-flush-" +
                               std::to_string(getpid());
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::vector<uint8_t> bytes = textBytes("GIMP Palette\n1 2 3\n");
    std::string error;
    fileEvents.clear();
    fileEventsRecorded = true;
    const bool alone = writeFileReplacing(folder + "/alone.gpl", bytes, error);
    std::vector<PendingFile> group(3);
    bool grouped = true;
    for (size_t i = 0; i < group.size(); ++i)
        grouped = grouped && writeTemporaryFile(folder + "/" + std::to_string(i) + ".gpl", {viewOf(bytes)},
                                                group[i], error, FlushLater);
    grouped = grouped && flushPendingFiles(group, error);
    for (const PendingFile& file : group) grouped = grouped && commitFile(file, error, false);
    grouped = grouped && flushFolderOf(group[0].path);
    fileEventsRecorded = false;
    ASSERT_TRUE(alone && grouped) << error;
    // the events with each temporary file's random letters as "*"
    std::vector<std::string> events;
    for (std::string event : fileEvents) {
        for (size_t at = event.find(kTemporaryInfix); at != std::string::npos; at = event.find(kTemporaryInfix, at + 1))
            event.replace(at + std::strlen(kTemporaryInfix), 6, "*");
        events.push_back(event);
    }
    const std::string temporary = std::string(kTemporaryInfix) + "*";
    std::vector<std::string> expected = {"flush " + folder + "/alone.gpl" + temporary,
                                         "rename " + folder + "/alone.gpl" + temporary + " to " + folder + "/alone.gpl",
                                         "flush " + folder};
    for (const char* name : {"/0.gpl", "/1.gpl", "/2.gpl"}) expected.push_back("written out " + folder + name + temporary);
    expected.push_back("flush " + folder + "/2.gpl" + temporary);
    for (const char* name : {"/0.gpl", "/1.gpl", "/2.gpl"})
        expected.push_back("rename " + folder + name + temporary + " to " + folder + name);
    expected.push_back("flush " + folder);
    EXPECT_EQ(expected, events);
    fs::remove_all(folder);
}

// A new file is made only where nothing is: never over a file, never through
// a link (dangling or not), and readable by its owner only.
TEST(FileAccess, NewFileIsMadeOnlyWhereNothingIs) {
    namespace fs = std::filesystem;
    const std::string folder = fs::temp_directory_path().string() + "/palette-files-new-file-" +
                               std::to_string(getpid());
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::vector<uint8_t> victim = textBytes("someone else's\n");
    writeFileBytes(folder + "/victim", victim);
    writeFileBytes(folder + "/file", victim);
    fs::create_symlink(folder + "/victim", folder + "/link");
    fs::create_symlink(folder + "/made-through-link", folder + "/dangling");
    for (const char* name : {"file", "link", "dangling"}) {
        int code = 0;
        const int fd = createNewFile(folder + "/" + name, code);
        EXPECT_EQ(-1, fd) << name;
        EXPECT_EQ(EEXIST, code) << name;
        if (fd >= 0) close(fd);
    }
    EXPECT_EQ(victim, readFileBytes(folder + "/victim"));
    EXPECT_EQ(victim, readFileBytes(folder + "/file"));
    EXPECT_FALSE(fs::exists(folder + "/made-through-link"));
    int code = 0;
    const int fd = createNewFile(folder + "/free", code);
    ASSERT_GE(fd, 0) << code;
    close(fd);
    struct stat status = {};
    ASSERT_EQ(0, stat((folder + "/free").c_str(), &status));
    EXPECT_EQ(0600u, status.st_mode & 07777);
    fs::remove_all(folder);
}
