// The program's resources as Windows loads them from the executable: the
// manifest, the menu bar, the icons (compared pixel by pixel with their
// sources in res/icons) and the version record. This test program links the
// same compiled resources as the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "data_lines.h"

namespace {

HINSTANCE Module() { return GetModuleHandleA(nullptr); }

// ---- Menu 2001 ----------------------------------------------------------------

struct MenuEntry {
    const char* text;  // null: separator
    UINT id;
};

const MenuEntry FileItems[] = {
    {"&About", 101}, {"&Help", 102}, {"&Web Site", 103}, {nullptr, 0}, {"&Exit", 105},
};

const MenuEntry FunctionItems[] = {
    {"&Hard Disk Information", 800}, {"&S.M.A.R.T. Information", 801},
    {"Copy &Report\tCtrl+C", 108},   {nullptr, 0},                     {"S&etup", 106},
};

struct MenuItem {
    UINT type, state, id;
    HMENU popup;
    std::string text;
};

MenuItem ReadMenuItem(HMENU menu, int position)
{
    char text[128] = "";
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof text;
    EXPECT_TRUE(GetMenuItemInfoA(menu, position, TRUE, &info)) << "item " << position;
    return {info.fType, info.fState, info.wID, info.hSubMenu, text};
}

const UINT NotPlain = MFS_GRAYED | MFS_CHECKED | MFS_DEFAULT;

template <size_t N>
void ExpectPopup(HMENU bar, int position, const char* title, const MenuEntry (&items)[N])
{
    MenuItem popup = ReadMenuItem(bar, position);
    EXPECT_EQ(popup.text, title);
    EXPECT_EQ(popup.state & NotPlain, 0u) << title;
    ASSERT_NE(popup.popup, nullptr) << title;
    ASSERT_EQ(GetMenuItemCount(popup.popup), static_cast<int>(N)) << title;
    for (size_t i = 0; i < N; ++i) {
        MenuItem item = ReadMenuItem(popup.popup, static_cast<int>(i));
        SCOPED_TRACE(std::string(title) + " item " + std::to_string(i));
        EXPECT_EQ(item.popup, nullptr);
        if (!items[i].text) {
            EXPECT_EQ(item.type, static_cast<UINT>(MFT_SEPARATOR));
            continue;
        }
        EXPECT_EQ(item.type, static_cast<UINT>(MFT_STRING));
        EXPECT_EQ(item.text, items[i].text);
        EXPECT_EQ(item.id, items[i].id);
        EXPECT_EQ(item.state & NotPlain, 0u);
    }
}

TEST(MainMenu, HasTheFileAndFunctionsPopupsWithTheirItemsInOrder)
{
    HMENU bar = LoadMenuA(Module(), MAKEINTRESOURCEA(2001));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(GetMenuItemCount(bar), 2);
    ExpectPopup(bar, 0, "&File", FileItems);
    ExpectPopup(bar, 1, "F&unctions", FunctionItems);
    DestroyMenu(bar);
}

TEST(Resources, ManifestRunsAsInvokerOnVistaTo11AtSystemDpi)
{
    HRSRC found = FindResourceA(Module(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(Module(), found))),
                               SizeofResource(Module(), found));
    for (const char* part : {"<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
                             "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true<",
                             "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                             "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    for (const char* absent : {"Common-Controls", "dpiAwareness", "requireAdministrator", "highestAvailable"})
        EXPECT_EQ(manifest.find(absent), std::string::npos) << absent;
}

TEST(Resources, CarryNoAcceleratorTable)
{
    EXPECT_EQ(FindResourceA(Module(), MAKEINTRESOURCEA(2001), MAKEINTRESOURCEA(9)), nullptr);  // RT_ACCELERATOR
}

// ---- Icons ----------------------------------------------------------------------

struct IconImageSpec {
    int size;
    const char* source;  // pixel art in res/icons
};

struct IconSpec {
    int id;
    std::vector<IconImageSpec> images;
};

const IconSpec Icons[] = {
    {1, {{32, "app32.txt"}, {16, "app16.txt"}}},
    {1300, {{16, "drive.txt"}}},
    {1301, {{16, "info.txt"}}},
    {1302, {{16, "blank.txt"}}},
    {1303, {{16, "clock.txt"}}},
    {1304, {{16, "warning.txt"}}},
    {1305, {{16, "app16-caution.txt"}}},
    {1306, {{16, "app16-alert.txt"}}},
};

#pragma pack(push, 2)
struct GroupIconHeader {
    WORD reserved, type, count;
};
struct GroupIconEntry {
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

const void* ResourceData(int id, LPCSTR type, DWORD* size)
{
    HRSRC found = FindResourceA(Module(), MAKEINTRESOURCEA(id), type);
    if (!found)
        return nullptr;
    *size = SizeofResource(Module(), found);
    return LockResource(LoadResource(Module(), found));
}

int RowBytes(int width, int bitsPerPixel) { return (width * bitsPerPixel + 31) / 32 * 4; }

TEST(Icons, AreSixteenColourImagesOfTheListedSizes)
{
    for (const IconSpec& icon : Icons) {
        SCOPED_TRACE("icon " + std::to_string(icon.id));
        DWORD size = 0;
        auto header = static_cast<const GroupIconHeader*>(ResourceData(icon.id, RT_GROUP_ICON, &size));
        ASSERT_NE(header, nullptr);
        ASSERT_EQ(header->count, icon.images.size());
        ASSERT_EQ(size, sizeof(GroupIconHeader) + header->count * sizeof(GroupIconEntry));
        auto entries = reinterpret_cast<const GroupIconEntry*>(header + 1);
        for (size_t i = 0; i < icon.images.size(); ++i) {
            const GroupIconEntry& e = entries[i];
            const int n = icon.images[i].size;
            EXPECT_EQ(e.width, n);
            EXPECT_EQ(e.height, n);
            EXPECT_EQ(e.colorCount, 16);
            EXPECT_EQ(e.planes, 1);
            EXPECT_EQ(e.bitCount, 4);
            DWORD imageSize = 0;
            auto bih = static_cast<const BITMAPINFOHEADER*>(ResourceData(e.id, RT_ICON, &imageSize));
            ASSERT_NE(bih, nullptr);
            EXPECT_EQ(imageSize, e.bytesInRes);
            EXPECT_EQ(imageSize, 40u + 16 * 4 + n * (RowBytes(n, 4) + RowBytes(n, 1)));
            EXPECT_EQ(bih->biSize, 40u);
            EXPECT_EQ(bih->biWidth, n);
            EXPECT_EQ(bih->biHeight, 2 * n);  // colour bits and mask
            EXPECT_EQ(bih->biBitCount, 4);
            EXPECT_EQ(bih->biCompression, static_cast<DWORD>(BI_RGB));
        }
    }
}

// The palette letters of the pixel art (res/icons/README.md), as 0xRRGGBB.
struct PaletteLetter {
    char letter;
    DWORD rgb;
};

const PaletteLetter Palette[] = {
    {'k', 0x000000}, {'m', 0x800000}, {'g', 0x008000}, {'o', 0x808000}, {'n', 0x000080}, {'p', 0x800080},
    {'t', 0x008080}, {'s', 0xC0C0C0}, {'d', 0x808080}, {'r', 0xFF0000}, {'l', 0x00FF00}, {'y', 0xFFFF00},
    {'b', 0x0000FF}, {'f', 0xFF00FF}, {'c', 0x00FFFF}, {'w', 0xFFFFFF},
};

// A colour none of the icons uses: transparent pixels leave it as it is.
const DWORD Background = 0x123456;

// What the pixel art says each pixel must show over Background, top row first.
std::vector<DWORD> ExpectedPixels(const char* source)
{
    std::ifstream in(std::string(OSTRIVEL_SOURCE_DIR) + "/res/icons/" + source);
    EXPECT_TRUE(in.good()) << source;
    std::vector<DWORD> pixels;
    std::string line;
    while (NextDataLine(in, line)) {
        for (char c : line) {
            DWORD rgb = Background;
            for (const PaletteLetter& p : Palette) {
                if (p.letter == c)
                    rgb = p.rgb;
            }
            pixels.push_back(rgb);
        }
    }
    return pixels;
}

// Loads the icon at the given size and draws it on Background.
std::vector<DWORD> DrawnPixels(int id, int n)
{
    HICON icon = static_cast<HICON>(LoadImageA(Module(), MAKEINTRESOURCEA(id), IMAGE_ICON, n, n, 0));
    EXPECT_NE(icon, nullptr);
    if (!icon)
        return {};
    ICONINFO info = {};
    EXPECT_TRUE(GetIconInfo(icon, &info));
    BITMAP bm = {};
    EXPECT_TRUE(GetObjectA(info.hbmColor, sizeof bm, &bm));
    EXPECT_EQ(bm.bmWidth, n);
    EXPECT_EQ(bm.bmHeight, n);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);

    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = n;
    bi.bmiHeader.biHeight = -n;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, dib);
    DWORD* px = static_cast<DWORD*>(bits);
    std::fill(px, px + n * n, Background);
    EXPECT_TRUE(DrawIconEx(dc, 0, 0, icon, n, n, 0, nullptr, DI_NORMAL));
    GdiFlush();
    std::vector<DWORD> pixels(px, px + n * n);
    for (DWORD& p : pixels)
        p &= 0xFFFFFF;
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(dib);
    DestroyIcon(icon);
    return pixels;
}

TEST(Icons, DrawExactlyTheirPixelArtWithTransparentBackground)
{
    for (const IconSpec& icon : Icons) {
        for (const IconImageSpec& image : icon.images) {
            SCOPED_TRACE("icon " + std::to_string(icon.id) + " at " + std::to_string(image.size));
            std::vector<DWORD> expected = ExpectedPixels(image.source);
            ASSERT_EQ(expected.size(), static_cast<size_t>(image.size * image.size));
            std::vector<DWORD> drawn = DrawnPixels(icon.id, image.size);
            ASSERT_EQ(drawn.size(), expected.size());
            int wrong = 0;
            for (size_t i = 0; i < drawn.size(); ++i) {
                if (drawn[i] != expected[i] && ++wrong <= 3)
                    ADD_FAILURE() << "pixel (" << i % image.size << ", " << i / image.size << "): drew 0x"
                                  << std::hex << drawn[i] << ", expected 0x" << expected[i];
            }
            EXPECT_EQ(wrong, 0);
        }
    }
}

// ---- Version record -------------------------------------------------------------

std::string VersionString(const std::vector<char>& data, WORD language, WORD codePage, const char* name)
{
    char path[128];
    snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", language, codePage, name);
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), path, &value, &length) || !value)
        return "(missing)";
    return static_cast<const char*>(value);
}

TEST(VersionRecord, NamesOstrivelVersion1)
{
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1252);
    EXPECT_EQ(VersionString(data, translation[0], translation[1], "ProductName"), "Ostrivel");
    EXPECT_EQ(VersionString(data, translation[0], translation[1], "ProductVersion"), "1.0.0.0");
    EXPECT_EQ(VersionString(data, translation[0], translation[1], "FileVersion"), "1.0.0.0");
    EXPECT_EQ(VersionString(data, translation[0], translation[1], "OriginalFilename"), "ostrivel.exe");
    EXPECT_NE(VersionString(data, translation[0], translation[1], "FileDescription"), "(missing)");
}

}  // namespace
