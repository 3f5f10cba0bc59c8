// The resources compiled into the plugin program, read from the built
// executable loaded as a data file: the menu bar, the accelerators, the icon
// and the manifest. (Wine answers no menu queries from another process, so
// the running program's menu cannot be read.) The dialog templates are
// checked on the running windows, by the start-up test.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "resource_ids.h"

namespace {

HMODULE pluginModule() {
    static HMODULE module = LoadLibraryExA(PLUGIN_EXE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}

class PluginResources : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(pluginModule(), nullptr) << "cannot load " << PLUGIN_EXE_PATH; }
};

// The bytes of one resource, or an empty vector when it is missing.
std::vector<unsigned char> resourceBytes(int id, const char* type) {
    HRSRC found = FindResourceA(pluginModule(), MAKEINTRESOURCEA(id), type);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(pluginModule(), found);
    const unsigned char* bytes = static_cast<const unsigned char*>(LockResource(loaded));
    DWORD size = SizeofResource(pluginModule(), found);
    if (!bytes) return {};
    return std::vector<unsigned char>(bytes, bytes + size);
}

// ---------------------------------------------------------------------------
// Menu 109

// Every item of the menu tree as one line: the path of pop-up labels, the
// item's label, its command id and its check mark.
void describeMenu(HMENU menu, const std::string& path, std::vector<std::string>* lines) {
    int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        char label[128] = "";
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_SUBMENU;
        info.dwTypeData = label;
        info.cch = sizeof label;
        if (!GetMenuItemInfoA(menu, position, TRUE, &info)) {
            lines->push_back(path + "<unreadable item>");
            continue;
        }
        if (info.fType & MFT_SEPARATOR) {
            lines->push_back(path + "<separator>");
            continue;
        }
        if (info.hSubMenu) {
            describeMenu(info.hSubMenu, path + label + " > ", lines);
            continue;
        }
        std::string line = path + label + " = " + std::to_string(info.wID);
        if (info.fState & MFS_CHECKED) line += " checked";
        lines->push_back(line);
    }
}

TEST_F(PluginResources, MenuHasEveryLabelCommandAndTheInitialCheckMark) {
    HMENU menu = LoadMenuA(pluginModule(), MAKEINTRESOURCEA(IDR_MAIN_MENU));
    ASSERT_NE(menu, nullptr);
    std::vector<std::string> lines;
    describeMenu(menu, "", &lines);
    DestroyMenu(menu);

    const std::vector<std::string> expected = {
        "&Command > Attempt Brightness Preservation = 32807 checked",
        "&Command > &Get New Palette(+keep state) = 32805",
        "&Command > G&et New Palette(+reset) = 32806",
        // The settings files' commands, after a separator.
        "&Command > <separator>",
        "&Command > &Save Settings... = 32900",
        "&Command > &Load Settings... = 32901",
        "&Command > E&xit Plugin = 105",
        "&Slider States > Copy > A --> B = 32784",
        "&Slider States > Copy > A <-- B = 32785",
        "&Slider States > Clear > A = 32782",
        "&Slider States > Clear > B = 32783",
        "S&liders > Reset > CyanRed = 32790",
        "S&liders > Reset > MagentaGreen = 32791",
        "S&liders > Reset > YellowBlue = 32792",
        "S&liders > Reset > Lows = 32793",
        "S&liders > Reset > Heights = 32794",
        "S&liders > Reset > All = 32795",
        "&Info > &About ... = 104",
    };
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "menu line " << i;
}

// ---------------------------------------------------------------------------
// Accelerator table 109

TEST_F(PluginResources, AcceleratorsAreAltQuestionMarkAndAltSlashAsCharacters) {
    HACCEL table = LoadAcceleratorsA(pluginModule(), MAKEINTRESOURCEA(IDR_MAIN_ACCELERATORS));
    ASSERT_NE(table, nullptr);
    ACCEL entries[8] = {};
    int count = CopyAcceleratorTableA(table, entries, 8);
    DestroyAcceleratorTable(table);
    ASSERT_EQ(count, 2);
    const struct {
        WORD key;
    } expected[] = {{'?'}, {'/'}};
    for (int i = 0; i < 2; ++i) {
        // FALT alone: a character key, not a virtual key, held with Alt.
        EXPECT_EQ(entries[i].fVirt & ~0x80, FALT) << "accelerator " << i;
        EXPECT_EQ(entries[i].key, expected[i].key) << "accelerator " << i;
        EXPECT_EQ(entries[i].cmd, IDM_ABOUT) << "accelerator " << i;
    }
}

// ---------------------------------------------------------------------------
// Icon group 129

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width, height, colourCount, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

// The colour of pixel (x, y), counted from the top, of a 4-bit icon image.
COLORREF iconPixel(const std::vector<unsigned char>& image, int size, int x, int y) {
    const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(image.data());
    const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(image.data() + header->biSize);
    const unsigned char* rows = image.data() + header->biSize + 16 * sizeof(RGBQUAD);
    int stride = (size * 4 + 31) / 32 * 4;
    unsigned char pair = rows[(size - 1 - y) * stride + x / 2];
    const RGBQUAD& colour = table[(x % 2 == 0) ? pair >> 4 : pair & 0x0F];
    return RGB(colour.rgbRed, colour.rgbGreen, colour.rgbBlue);
}

TEST_F(PluginResources, IconGroupHoldsA16And32PixelImageOf16ColoursShowingTheBalanceColours) {
    std::vector<unsigned char> group = resourceBytes(IDI_PLUGIN_ICON, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
    ASSERT_GE(group.size(), 6u);
    WORD header[3];
    std::memcpy(header, group.data(), sizeof header);
    EXPECT_EQ(header[1], 1) << "icon type";
    ASSERT_EQ(header[2], 2) << "number of images";
    ASSERT_EQ(group.size(), 6 + 2 * sizeof(IconGroupEntry));

    std::set<int> sizes;
    for (int i = 0; i < 2; ++i) {
        IconGroupEntry entry;
        std::memcpy(&entry, group.data() + 6 + i * sizeof entry, sizeof entry);
        SCOPED_TRACE("image " + std::to_string(i));
        EXPECT_EQ(entry.width, entry.height);
        EXPECT_EQ(entry.colourCount, 16);
        EXPECT_EQ(entry.bitCount, 4);
        sizes.insert(entry.width);

        std::vector<unsigned char> image = resourceBytes(entry.id, MAKEINTRESOURCEA(3) /* RT_ICON */);
        ASSERT_EQ(image.size(), entry.bytes);
        const BITMAPINFOHEADER* bitmap = reinterpret_cast<const BITMAPINFOHEADER*>(image.data());
        EXPECT_EQ(bitmap->biWidth, entry.width);
        EXPECT_EQ(bitmap->biHeight, 2 * entry.width) << "colour rows and mask rows";
        EXPECT_EQ(bitmap->biBitCount, 4);

        // The three slider bars: every end colour of the balance axes appears.
        std::set<COLORREF> colours;
        for (int y = 0; y < entry.width; ++y)
            for (int x = 0; x < entry.width; ++x) colours.insert(iconPixel(image, entry.width, x, y));
        for (COLORREF wanted : {RGB(0, 255, 255), RGB(255, 0, 0), RGB(255, 0, 255), RGB(0, 255, 0),
                                RGB(255, 255, 0), RGB(0, 0, 255)})
            EXPECT_EQ(colours.count(wanted), 1u) << std::hex << "colour 0x" << wanted;

        HICON icon = CreateIconFromResourceEx(image.data(), DWORD(image.size()), TRUE, 0x00030000,
                                              entry.width, entry.width, LR_DEFAULTCOLOR);
        EXPECT_NE(icon, nullptr) << "the window system cannot make an icon of it";
        if (icon) DestroyIcon(icon);
    }
    EXPECT_EQ(sizes, (std::set<int>{16, 32}));
}

// ---------------------------------------------------------------------------
// Manifest, resource 1

TEST_F(PluginResources, ManifestAsksForAsInvokerAndNotForCommonControls6) {
    std::vector<unsigned char> bytes = resourceBytes(1, MAKEINTRESOURCEA(24) /* RT_MANIFEST */);
    ASSERT_FALSE(bytes.empty());
    std::string manifest(bytes.begin(), bytes.end());
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos) << manifest;
    EXPECT_EQ(manifest.find("Common-Controls"), std::string::npos) << manifest;
}

}  // namespace
