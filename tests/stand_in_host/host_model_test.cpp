// The stand-in host's platform-free parts: its command line, the status
// reply, BMP reading, the palette blocks, the built-in picture and the log's
// quoting.
#include <gtest/gtest.h>

#include <set>

#include "host_fixture.h"
#include "host_options.h"
#include "log_format.h"
#include "palette_blocks.h"
#include "picture.h"

namespace {

// The parsed options in one line, so that a table can state them.
std::string describe(const HostOptions& o) {
    std::string text = "picture=" + o.picturePath + " log=" + o.logPath +
                       " delay=" + std::to_string(o.delayMs) + "," + std::to_string(o.statusDelayMs) + " never=";
    for (const std::string& word : o.neverComplete) text += word + ",";
    text += " status=" + (o.replaceStatus ? quoteLogText(o.statusText) : std::string("-"));
    text += " length=" + (o.padStatus ? std::to_string(o.statusLength) : std::string("-"));
    text += " fail=" + std::to_string(o.failStatus) + " disconnect=" +
            std::to_string(o.disconnectAfter) + " exit=" + std::to_string(o.exitAfter) +
            " nodib=" + std::to_string(o.noDib) + " flaw=" + blockFlawName(o.flaw) +
            " help=" + std::to_string(o.help);
    return text;
}

const char kDefaults[] =
    "picture= log= delay=0,0 never= status=- length=- fail=0 disconnect=0 exit=0 nodib=0 "
    "flaw=normal help=0";

}  // namespace

TEST(HostOptions, AcceptedCommandLines) {
    struct Case {
        std::vector<std::string> args;
        std::string expected;
    };
    const Case cases[] = {
        {{}, kDefaults},
        {{"C:\\pictures\\lake.bmp"},
         "picture=C:\\pictures\\lake.bmp log= delay=0,0 never= status=- length=- fail=0 "
         "disconnect=0 exit=0 nodib=0 flaw=normal help=0"},
        {{"--log=Z:\\tmp\\host.log", "--delay-ms=250"},
         "picture= log=Z:\\tmp\\host.log delay=250,0 never= status=- length=- fail=0 disconnect=0 "
         "exit=0 nodib=0 flaw=normal help=0"},
        {{"--never-complete=SENDPALETTE", "--never-complete=RECEIVEPALETTE"},
         "picture= log= delay=0,0 never=SENDPALETTE,RECEIVEPALETTE, status=- length=- fail=0 "
         "disconnect=0 exit=0 nodib=0 flaw=normal help=0"},
        {{"--status-text="},
         "picture= log= delay=0,0 never= status=\"\" length=- fail=0 disconnect=0 exit=0 nodib=0 "
         "flaw=normal help=0"},
        {{"--status-text=OK\\r\\n\\x41\\\\", "--status-length=10000"},
         "picture= log= delay=0,0 never= status=\"OK\\r\\nA\\\\\" length=10000 fail=0 disconnect=0 "
         "exit=0 nodib=0 flaw=normal help=0"},
        {{"--fail-status", "--disconnect-after=3", "--exit-after=1", "--no-dib", "--help"},
         "picture= log= delay=0,0 never= status=- length=- fail=1 disconnect=3 exit=1 nodib=1 "
         "flaw=normal help=1"},
        {{"--malformed=negative-height"},
         "picture= log= delay=0,0 never= status=- length=- fail=0 disconnect=0 exit=0 nodib=0 "
         "flaw=negative-height help=0"},
        {{"--malformed=small-pixels", "--delay-ms=0", "--status-delay-ms=30"},
         "picture= log= delay=0,30 never= status=- length=- fail=0 disconnect=0 exit=0 nodib=0 "
         "flaw=small-pixels help=0"},
    };
    for (const Case& c : cases) {
        std::string args;
        for (const std::string& arg : c.args) args += arg + " ";
        HostOptions options;
        std::string problem;
        ASSERT_TRUE(parseHostOptions(c.args, options, problem)) << args << ": " << problem;
        EXPECT_EQ(c.expected, describe(options)) << args;
    }
}

TEST(HostOptions, RefusedCommandLinesSayWhy) {
    struct Case {
        std::vector<std::string> args;
        const char* named;  // what the problem must mention
    };
    const Case cases[] = {
        {{"--delay-ms=abc"}, "--delay-ms"},
        {{"--delay-ms="}, "--delay-ms"},
        {{"--delay-ms=-5"}, "--delay-ms"},
        {{"--delay-ms=600001"}, "--delay-ms"},
        {{"--status-delay-ms=901"}, "--status-delay-ms"},
        {{"--status-length=x"}, "--status-length"},
        {{"--disconnect-after=0"}, "--disconnect-after"},
        {{"--exit-after="}, "--exit-after"},
        {{"--malformed=wobbly"}, "--malformed"},
        {{"--malformed"}, "--malformed"},
        {{"--status-text=\\q"}, "--status-text"},
        {{"--status-text=\\x4"}, "--status-text"},
        {{"--status-text=trailing\\"}, "--status-text"},
        {{"--bogus"}, "--bogus"},
        {{"--fail-status=1"}, "--fail-status"},
        {{"--log="}, "--log"},
        {{"--never-complete="}, "--never-complete"},
        {{"a.bmp", "b.bmp"}, "b.bmp"},
        {{"--no-dib", "--malformed=short"}, "--no-dib"},
    };
    for (const Case& c : cases) {
        HostOptions options;
        std::string problem;
        EXPECT_FALSE(parseHostOptions(c.args, options, problem)) << c.args[0];
        EXPECT_NE(std::string::npos, problem.find(c.named)) << c.args[0] << ": " << problem;
    }
}

TEST(HostOptions, StatusReplyShapes) {
    struct Case {
        std::vector<std::string> args;
        const char* status;
        std::string reply;
    };
    const Case cases[] = {
        {{}, "OK", "OK\r\n"},
        {{}, "No palette on the clipboard", "No palette on the clipboard"},
        {{"--status-text=OKAY"}, "OK", "OKAY"},
        {{"--status-text=OKAY"}, "Unknown command: X", "Unknown command: X"},
        {{"--status-text="}, "OK", ""},
        {{"--status-length=5"}, "OK", "OKOKO"},
        {{"--status-length=0"}, "OK", ""},
        {{"--status-text=ab", "--status-length=3"}, "OK", "aba"},
        {{"--status-text=", "--status-length=4"}, "OK", "OKOK"},
        {{"--status-length=4"}, "Clipboard busy", "Clipboard busy"},
    };
    for (const Case& c : cases) {
        HostOptions options;
        std::string problem;
        ASSERT_TRUE(parseHostOptions(c.args, options, problem)) << problem;
        EXPECT_EQ(c.reply, shapeStatusReply(options, c.status))
            << (c.args.empty() ? "(no options)" : c.args[0]) << " / " << c.status;
    }
}

namespace {

}  // namespace

TEST(PictureFile, ReadsEightBitBmps) {
    struct Case {
        const char* name;
        BmpShape shape;
        int entries;
    };
    const Case cases[] = {
        {"bottom-up, 4 colours", {3, 2, 8, 0, 4, 4}, 4},
        {"top-down, 16 colours", {5, -3, 8, 0, 16, 16}, 16},
        {"colour count 0 means 256", {4, 4, 8, 0, 0, 256}, 256},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> file = makeBmp(c.shape);
        Picture picture;
        std::string problem;
        ASSERT_TRUE(readBmpPicture(file.data(), file.size(), picture, problem)) << c.name << ": " << problem;
        EXPECT_EQ(c.entries, paletteEntryCount(picture)) << c.name;
        EXPECT_EQ(c.shape.width, picture.width) << c.name;
        EXPECT_EQ(std::abs(c.shape.height), picture.height) << c.name;
        EXPECT_EQ(3 * (c.entries - 1) % 256, picture.palette[size_t(c.entries - 1) * 4 + 2]) << c.name;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x)
                ASSERT_EQ(x + 10 * y, picture.pixels[size_t(y) * picture.rowBytes + x])
                    << c.name << " at " << x << "," << y;
    }
}

TEST(PictureFile, RefusesOtherFiles) {
    std::vector<uint8_t> notBmp = makeBmp({4, 4, 8, 0, 4, 4});
    notBmp[0] = 'X';
    std::vector<uint8_t> truncated = makeBmp({8, 8, 8, 0, 4, 4});
    truncated.resize(truncated.size() - 1);
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
    };
    const Case cases[] = {
        {"not a BMP", notBmp},
        {"4-bit", makeBmp({4, 4, 4, 0, 16, 16})},
        {"RLE8", makeBmp({4, 4, 8, 1, 4, 4})},
        {"pixels cut short", truncated},
        {"300 colours", makeBmp({4, 4, 8, 0, 300, 300})},
        {"width 0", makeBmp({0, 4, 8, 0, 4, 4})},
        {"only a file header", std::vector<uint8_t>{'B', 'M', 0, 0}},
    };
    for (const Case& c : cases) {
        Picture picture;
        std::string problem;
        EXPECT_FALSE(readBmpPicture(c.file.data(), c.file.size(), picture, problem)) << c.name;
        EXPECT_FALSE(problem.empty()) << c.name;
    }
}

TEST(PaletteBlocks, EachFlawIsJudgedAsTheHostWould) {
    std::vector<uint8_t> palette(256 * 4);
    for (size_t i = 0; i < palette.size(); ++i) palette[i] = uint8_t(i * 7);
    struct Case {
        BlockFlaw flaw;
        bool taken;
        const char* refusal;
    };
    const Case cases[] = {
        {BlockFlaw::None, true, ""},
        {BlockFlaw::NegativeHeight, true, ""},
        {BlockFlaw::SmallPixels, true, ""},
        {BlockFlaw::Short, false, "Palette block is shorter than a bitmap header"},
        {BlockFlaw::ZeroColours, false, "Palette has 0 colors, the picture has 256"},
        {BlockFlaw::HugeColours, false,
         "Palette block is shorter than its header says (2088 bytes, header says 1073742888)"},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> block = makePaletteBlock(palette, c.flaw);
        std::vector<uint8_t> taken(256 * 4, 0xEE);
        std::string refusal;
        EXPECT_EQ(c.taken, takePaletteFromBlock(block.data(), block.size(), 256, taken, refusal))
            << blockFlawName(c.flaw);
        EXPECT_EQ(c.refusal, refusal) << blockFlawName(c.flaw);
        EXPECT_EQ(c.taken ? palette : std::vector<uint8_t>(256 * 4, 0xEE), taken)
            << blockFlawName(c.flaw) << ": a refused block leaves the palette as it was";
    }
}

TEST(PaletteBlocks, SmallPaletteLeavesTheRemainingPixelsBlack) {
    std::vector<uint8_t> palette(16 * 4, 0);
    for (int i = 0; i < 16; ++i) palette[size_t(i) * 4 + 2] = uint8_t(100 + i);  // red
    const std::vector<uint8_t> block = makePaletteBlock(palette, BlockFlaw::None);
    ASSERT_EQ(40u + 16 * 4 + 1024, block.size());
    EXPECT_EQ(16, block[32]);
    const uint8_t* pixels = &block[40 + 16 * 4];
    EXPECT_EQ(115, pixels[15 * 4 + 2]) << "pixel 15 is colour 15";
    for (int i = 16; i < 256; ++i)
        ASSERT_TRUE(!pixels[i * 4] && !pixels[i * 4 + 1] && !pixels[i * 4 + 2]) << "pixel " << i;
}

TEST(PaletteBlocks, HeaderFieldsThatDoNotAddUpAreRefused) {
    std::vector<uint8_t> palette(256 * 4, 9);
    struct Case {
        const char* name;
        size_t at;
        uint32_t value;
        const char* refusal;
    };
    const Case cases[] = {
        {"biSize 12", 0, 12, "Palette block has a bad header size"},
        {"biSize past the block", 0, 5000, "Palette block has a bad header size"},
        {"biWidth 17", 4, 17,
         "Palette block is shorter than its header says (2088 bytes, header says 2152)"},
        {"biBitCount 64", 14, 64,
         "Palette block is shorter than its header says (2088 bytes, header says 3112)"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> block = makePaletteBlock(palette, BlockFlaw::None);
        for (int i = 0; i < (c.at == 14 ? 2 : 4); ++i) block[c.at + i] = uint8_t(c.value >> (8 * i));
        std::vector<uint8_t> taken;
        std::string refusal;
        EXPECT_FALSE(takePaletteFromBlock(block.data(), block.size(), 256, taken, refusal)) << c.name;
        EXPECT_EQ(c.refusal, refusal) << c.name;
    }
}

TEST(BuiltInPicture, UsesEveryPaletteEntry) {
    Picture picture;
    makeBuiltInPicture(picture);
    ASSERT_EQ(256, paletteEntryCount(picture));
    ASSERT_EQ(size_t(picture.rowBytes) * picture.height, picture.pixels.size());
    EXPECT_EQ(0, picture.rowBytes % 4);
    std::vector<int> uses(256, 0);
    for (uint8_t index : picture.pixels) ++uses[index];
    for (int i = 0; i < 256; ++i) EXPECT_GT(uses[i], 0) << "entry " << i << " is never used";
    // Distinct colours, so that every entry's change shows as its own.
    std::set<uint32_t> colours;
    for (int i = 0; i < 256; ++i) {
        const uint8_t* entry = &picture.palette[size_t(i) * 4];
        colours.insert(uint32_t(entry[0]) | uint32_t(entry[1]) << 8 | uint32_t(entry[2]) << 16);
    }
    EXPECT_EQ(256u, colours.size());
}

TEST(EventLog, QuotedTextsReadBackExactly) {
    std::string everyByte;
    for (int c = 0; c < 256; ++c) everyByte += char(c);
    const std::string cases[] = {"", "OK", "OK\r\n", "say \"OK\"", "back\\slash", everyByte,
                                 std::string(10000, 'O')};
    for (const std::string& text : cases) {
        const std::string quoted = quoteLogText(text);
        EXPECT_EQ(std::string::npos, quoted.find_first_of("\r\n")) << quoted;
        std::string back;
        ASSERT_TRUE(unquoteLogText(quoted, back)) << quoted;
        EXPECT_EQ(text, back) << quoted;
    }
    EXPECT_EQ("\"OK\\r\\n\"", quoteLogText("OK\r\n"));
    const uint8_t table[] = {0x00, 0x7f, 0x80, 0xff, 0x0a};
    EXPECT_EQ("007f80ff0a", hexBytes(table, sizeof table));
}

TEST(EventLog, MalformedQuotedTextsAreRejected) {
    const char* const cases[] = {"OK", "\"OK", "OK\"", "\"a\"b\"", "\"\\q\"", "\"\\x4\"", "\"\\\""};
    for (const char* quoted : cases) {
        std::string text;
        EXPECT_FALSE(unquoteLogText(quoted, text)) << quoted;
    }
}
