// The stand-in host over DDE: who it answers, the command words and their
// status, the CF_DIB block it puts on the clipboard and the one it takes.
#include "host_fixture.h"

#include "palette_blocks.h"
#include "picture.h"

namespace {

// The palette block a test sends: header, table of `colours` entries, then
// 16 x 16 four-byte pixels, all built here by hand.
std::vector<uint8_t> handMadeBlock(const std::vector<uint8_t>& table) {
    const uint32_t colours = uint32_t(table.size() / 4);
    std::vector<uint8_t> block(40 + table.size() + 1024, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) block[at + i] = uint8_t(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, 16);
    put32(8, 16);
    block[12] = 1;
    block[14] = 32;
    put32(32, colours);
    std::copy(table.begin(), table.end(), block.begin() + 40);
    return block;
}

std::vector<uint8_t> builtInPalette() {
    Picture picture;
    makeBuiltInPicture(picture);
    return picture.palette;
}

std::vector<uint8_t> colourTableOf(const std::vector<uint8_t>& block) {
    const uint32_t colours = readU32LE(&block[32]);
    return std::vector<uint8_t>(block.begin() + 40, block.begin() + 40 + colours * 4);
}

}  // namespace

TEST_F(HostTest, AnswersOnlyItsServiceAndTopic) {
    ASSERT_TRUE(startHost());
    disconnectTestClient();
    struct Case {
        const char* service;
        const char* topic;
        bool answers;
    };
    const Case cases[] = {
        // service   topic            answers
        {"KAVRIN", "ImageServer", true},
        {"KAVRIN", "System", false},
        {"KAVRIN", "imageserver", true},  // DDE names ignore case
        {"KAVRINX", "ImageServer", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.answers, connectTestClient(c.service, c.topic))
            << "service " << c.service << ", topic " << c.topic;
        disconnectTestClient();
    }
    EXPECT_FALSE(hostLogLinesStarting(host, "CONNECT refused").empty());
}

TEST_F(HostTest, CommandWordsCompleteAndSetTheirStatus) {
    ASSERT_TRUE(startHost());
    std::vector<uint8_t> ownBlock;
    struct Step {
        const char* command;
        bool acknowledged;
        const char* reply;
    };
    const Step steps[] = {
        // command            acknowledged  status reply
        {"SENDPALETTE", true, "No layer selected (SELECTCOLORLAYER first)"},
        {"SELECTCOLORLAYER", true, "OK\r\n"},
        {"SENDPALETTE", true, "OK\r\n"},
        {"RECEIVEPALETTE", true, "OK\r\n"},  // takes back its own block
        {"SELECTCOLORLAYER", true, "OK\r\n"},
        {"PAINTITBLACK", false, "Unknown command: PAINTITBLACK"},
        {"selectcolorlayer", false, "Unknown command: selectcolorlayer"},
        {"SELECTCOLORLAYER", true, "OK\r\n"},
    };
    std::string reply;
    ASSERT_TRUE(requestHostStatus(reply));
    EXPECT_EQ("OK\r\n", reply) << "before any command";
    for (const Step& step : steps) {
        ASSERT_TRUE(executeHostCommand(step.command, 5000)) << step.command;
        EXPECT_EQ(step.acknowledged, lastExecuteAcknowledged()) << step.command;
        ASSERT_TRUE(requestHostStatus(reply)) << step.command;
        EXPECT_EQ(step.reply, reply) << step.command;
    }
    const std::vector<HostCommandRecord> logged = hostExecutedCommands(host);
    ASSERT_EQ(std::size(steps), logged.size());
    for (size_t i = 0; i < logged.size(); ++i) {
        EXPECT_EQ(steps[i].command, logged[i].word) << "log line " << i;
        std::string expected = steps[i].reply;
        if (expected == "OK\r\n") expected = "OK";
        EXPECT_EQ(expected, logged[i].status) << "log line " << i;
    }
    EXPECT_EQ(std::size(steps) + 1, hostStatusRequests(host).size());
}

TEST_F(HostTest, SendPalettePutsTheExactBlock) {
    ASSERT_TRUE(startHost());
    std::vector<uint8_t> block;
    ASSERT_TRUE(fetchHostPalette(block));
    const std::vector<uint8_t> palette = builtInPalette();
    ASSERT_EQ(40u + 256 * 4 + 16 * 16 * 4, block.size());
    struct Field {
        const char* name;
        size_t at;
        int bytes;
        uint32_t value;
    };
    const Field fields[] = {
        {"biSize", 0, 4, 40},   {"biWidth", 4, 4, 16},      {"biHeight", 8, 4, 16},
        {"biPlanes", 12, 2, 1}, {"biBitCount", 14, 2, 32},  {"biCompression", 16, 4, 0},
        {"biClrUsed", 32, 4, 256},
    };
    for (const Field& f : fields)
        EXPECT_EQ(f.value, f.bytes == 4 ? readU32LE(&block[f.at]) : readU16LE(&block[f.at])) << f.name;
    EXPECT_EQ(palette, colourTableOf(block));
    for (int i = 0; i < 256; ++i) {
        const uint8_t* pixel = &block[40 + 1024 + size_t(i) * 4];
        const uint8_t* entry = &palette[size_t(i) * 4];
        EXPECT_TRUE(pixel[0] == entry[0] && pixel[1] == entry[1] && pixel[2] == entry[2])
            << "pixel " << i << " is not colour " << i;
    }
    EXPECT_EQ(1u, hostLogLinesStarting(host, "SENT bytes=2088 form=normal").size());
}

TEST_F(HostTest, ReceivedPaletteReplacesThePictures) {
    ASSERT_TRUE(startHost());
    std::vector<uint8_t> block;
    ASSERT_TRUE(fetchHostPalette(block));
    // Every colour inverted, the reserved bytes left alone.
    std::vector<uint8_t> changed = colourTableOf(block);
    for (size_t i = 0; i < changed.size(); ++i)
        if (i % 4 != 3) changed[i] = uint8_t(255 - changed[i]);
    std::copy(changed.begin(), changed.end(), block.begin() + 40);
    std::string status;
    ASSERT_TRUE(sendHostPalette(block, status));
    EXPECT_EQ("OK\r\n", status);
    const std::vector<std::vector<uint8_t>> received = hostReceivedPalettes(host);
    ASSERT_EQ(1u, received.size());
    EXPECT_EQ(changed, received[0]);

    std::vector<uint8_t> again;
    ASSERT_TRUE(fetchHostPalette(again));
    EXPECT_EQ(changed, colourTableOf(again)) << "the host sends back what it took";
    EXPECT_EQ(changed[4 * 200], again[40 + 1024 + 4 * 200]) << "pixel 200 follows colour 200";
}

TEST_F(HostTest, RefusedPaletteLeavesThePaletteAsItWas) {
    ASSERT_TRUE(startHost());
    const std::vector<uint8_t> palette = builtInPalette();
    std::vector<uint8_t> cut = handMadeBlock(palette);
    cut.resize(40 + 512);
    std::vector<uint8_t> sixteen = handMadeBlock(std::vector<uint8_t>(16 * 4, 7));
    std::vector<uint8_t> tooMany = handMadeBlock(std::vector<uint8_t>(257 * 4, 7));
    std::vector<uint8_t> headerOnly(palette.begin(), palette.begin() + 24);
    struct Case {
        const char* name;
        std::vector<uint8_t> block;  // empty: no CF_DIB on the clipboard
        const char* status;
    };
    const Case cases[] = {
        {"no block", {}, "No palette on the clipboard"},
        {"shorter than a header", headerOnly, "Palette block is shorter than a bitmap header"},
        {"shorter than its header says", cut,
         "Palette block is shorter than its header says (552 bytes, header says 2088)"},
        {"16 colours", sixteen, "Palette has 16 colors, the picture has 256"},
        {"257 colours", tooMany, "Palette has 257 colors, the picture has 256"},
    };
    for (const Case& c : cases) {
        std::string status;
        ASSERT_TRUE(sendHostPalette(c.block, status)) << c.name;
        EXPECT_EQ(c.status, status) << c.name;
    }
    EXPECT_TRUE(hostReceivedPalettes(host).empty());
    std::vector<uint8_t> block;
    ASSERT_TRUE(fetchHostPalette(block));
    EXPECT_EQ(palette, colourTableOf(block));
}
