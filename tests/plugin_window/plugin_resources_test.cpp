// The resources compiled into the plugin program, read from the built
// executable loaded as a data file: the menu bar, the accelerators, both
// dialog templates, the icon and the manifest. (Wine answers no menu queries
// from another process, so the running program's menu cannot be read.)
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
// Dialog templates 131 and 103 (extended templates)

struct TemplateItem {
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::string className;  // "static", "button", or the name given
    std::string text;       // "#129" for an ordinal
};

struct DialogTemplate {
    WORD version = 0;
    WORD signature = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string menu;       // "#109" for an ordinal, "" for none
    std::string className;
    std::string title;
    WORD pointSize = 0;
    WORD weight = 0;
    std::string typeface;
    std::vector<TemplateItem> items;
};

class TemplateReader {
public:
    explicit TemplateReader(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}
    WORD word() {
        WORD value = 0;
        if (at_ + 2 <= bytes_.size()) std::memcpy(&value, &bytes_[at_], 2);
        at_ += 2;
        return value;
    }
    DWORD dword() {
        DWORD value = word();
        return value | (DWORD(word()) << 16);
    }
    short signedWord() { return static_cast<short>(word()); }
    std::string wideString() {
        std::string text;
        for (WORD c = word(); c != 0 && at_ <= bytes_.size(); c = word()) text += c < 128 ? char(c) : '?';
        return text;
    }
    // A name or an ordinal (0xFFFF followed by the number, shown as "#n").
    std::string nameOrOrdinal() {
        WORD first = word();
        if (first == 0) return "";
        if (first == 0xFFFF) return "#" + std::to_string(word());
        at_ -= 2;
        return wideString();
    }
    void alignToDword() { at_ = (at_ + 3) & ~size_t(3); }
    size_t position() const { return at_; }

private:
    const std::vector<unsigned char>& bytes_;
    size_t at_ = 0;
};

std::string controlClass(const std::string& given) {
    if (given == "#128") return "button";
    if (given == "#130") return "static";
    std::string lower;
    for (char c : given) lower += char(tolower(static_cast<unsigned char>(c)));
    return lower;
}

DialogTemplate readDialogTemplate(const std::vector<unsigned char>& bytes) {
    DialogTemplate dialog;
    TemplateReader reader(bytes);
    dialog.version = reader.word();
    dialog.signature = reader.word();
    reader.dword();  // help id
    dialog.exStyle = reader.dword();
    dialog.style = reader.dword();
    WORD count = reader.word();
    dialog.x = reader.signedWord();
    dialog.y = reader.signedWord();
    dialog.cx = reader.signedWord();
    dialog.cy = reader.signedWord();
    dialog.menu = reader.nameOrOrdinal();
    dialog.className = reader.nameOrOrdinal();
    dialog.title = reader.wideString();
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = reader.word();
        dialog.weight = reader.word();
        reader.word();  // italic and character set
        dialog.typeface = reader.wideString();
    }
    for (WORD i = 0; i < count; ++i) {
        reader.alignToDword();
        TemplateItem item;
        reader.dword();  // help id
        item.exStyle = reader.dword();
        item.style = reader.dword();
        item.x = reader.signedWord();
        item.y = reader.signedWord();
        item.cx = reader.signedWord();
        item.cy = reader.signedWord();
        item.id = reader.dword();
        item.className = controlClass(reader.nameOrOrdinal());
        item.text = reader.nameOrOrdinal();
        WORD extra = reader.word();
        for (WORD b = 0; b < extra; b += 2) reader.word();
        dialog.items.push_back(item);
    }
    return dialog;
}

TEST_F(PluginResources, MainWindowTemplateIsAnEmptyTopmostToolDialogWithTheMenu) {
    std::vector<unsigned char> bytes = resourceBytes(IDD_MAIN_WINDOW, MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    ASSERT_FALSE(bytes.empty());
    DialogTemplate dialog = readDialogTemplate(bytes);
    EXPECT_EQ(dialog.version, 1);
    EXPECT_EQ(dialog.signature, 0xFFFF) << "not an extended template";
    EXPECT_EQ(dialog.style, 0x10C800CAu);
    EXPECT_EQ(dialog.exStyle, 0x00040088u);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, 253);
    EXPECT_EQ(dialog.cy, 134);
    EXPECT_EQ(dialog.menu, "#109");
    EXPECT_EQ(dialog.className, "");
    EXPECT_EQ(dialog.title, "Kavrin Color Balance Plugin (v201503b)");
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.weight, 400);
    EXPECT_EQ(dialog.typeface, "MS Shell Dlg");
    EXPECT_TRUE(dialog.items.empty()) << "the controls are made in code";
}

TEST_F(PluginResources, AboutBoxTemplateHasItsFourItemsInOrder) {
    std::vector<unsigned char> bytes = resourceBytes(IDD_ABOUT_BOX, MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    ASSERT_FALSE(bytes.empty());
    DialogTemplate dialog = readDialogTemplate(bytes);
    EXPECT_EQ(dialog.signature, 0xFFFF) << "not an extended template";
    EXPECT_EQ(dialog.style, 0x80C800C8u);
    EXPECT_EQ(dialog.exStyle, 0u);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, 178);
    EXPECT_EQ(dialog.cy, 57);
    EXPECT_EQ(dialog.menu, "");
    EXPECT_EQ(dialog.title, "About Kavrin Color Balance Plugin");
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.typeface, "MS Shell Dlg");

    const DWORD child = WS_CHILD | WS_VISIBLE;
    struct Expected {
        const char* className;
        const char* text;  // null: any non-empty text
        DWORD style;
        short x, y, cx, cy;
        DWORD id;
    };
    const Expected expected[] = {
        // class     text                            style                                          place and size    id
        {"static", "Kavrin Color Balance Plugin", child | WS_GROUP | SS_NOPREFIX, 45, 16, 118, 8, DWORD(-1)},
        {"static", nullptr, child | WS_GROUP | SS_LEFT, 45, 25, 116, 9, DWORD(-1)},
        {"button", "OK", child | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON, 73, 36, 32, 14, IDOK},
        {"static", "#129", child | SS_ICON, 15, 15, 20, 20, DWORD(-1)},
    };
    ASSERT_EQ(dialog.items.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        const TemplateItem& item = dialog.items[i];
        const Expected& want = expected[i];
        SCOPED_TRACE("About box item " + std::to_string(i + 1));
        EXPECT_EQ(item.className, want.className);
        if (want.text)
            EXPECT_EQ(item.text, want.text);
        else
            EXPECT_FALSE(item.text.empty());
        EXPECT_EQ(item.style, want.style);
        EXPECT_EQ(item.exStyle, 0u);
        EXPECT_EQ(item.x, want.x);
        EXPECT_EQ(item.y, want.y);
        EXPECT_EQ(item.cx, want.cx);
        EXPECT_EQ(item.cy, want.cy);
        EXPECT_EQ(item.id, want.id);
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
