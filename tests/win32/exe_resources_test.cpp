// What velmora.exe carries besides its code, read from the built exe as Windows reads it: the
// manifest, the version information in Simplified Chinese and English, and the sizes and colour
// depths of its icons, the three tray-state icons among them.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/win32/text_codec.h"
#include "ui/win32/resource_ids.h"

namespace velmora {
namespace {

// velmora.exe loaded as data: its resources are readable, none of its code runs.
class VelmoraExeResources : public ::testing::Test {
protected:
    VelmoraExeResources() : module(LoadLibraryExW(widen(VELMORA_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~VelmoraExeResources() override { FreeLibrary(module); }

    std::string resource(LPCWSTR name, LPCWSTR type) const {
        HRSRC found = FindResourceW(module, name, type);
        HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
        if (loaded == nullptr) {
            return {};
        }
        return std::string(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found));
    }

    HMODULE module;
};

// --- Manifest ----------------------------------------------------------------------------

TEST_F(VelmoraExeResources, manifestAsksForVisualStylesTheUsersOwnRightsSupportedSystemsAndSystemDpi) {
    ASSERT_NE(module, nullptr);
    const std::string manifest = resource(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_FALSE(manifest.empty());
    const auto has = [&](const std::string& text) { return manifest.find(text) != std::string::npos; };
    EXPECT_TRUE(has("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
    EXPECT_TRUE(has("publicKeyToken=\"6595b64144ccf1df\""));
    EXPECT_TRUE(has("level=\"asInvoker\" uiAccess=\"false\""));
    // Windows XP before SP3 refuses a program whose trustInfo is in the asm.v3 namespace.
    EXPECT_TRUE(has("<ms_asmv2:trustInfo xmlns:ms_asmv2=\"urn:schemas-microsoft-com:asm.v2\">"));
    EXPECT_FALSE(has("<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\""));
    for (const char* system : {"e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                               "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                               "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}) {
        EXPECT_TRUE(has(std::string("<supportedOS Id=\"{") + system + "}\"/>")) << system;
    }
    EXPECT_TRUE(has(">true</dpiAware>"));
    EXPECT_TRUE(has("version=\"" VELMORA_VERSION ".0\" processorArchitecture=\"x86\""));
}

// --- Version information -----------------------------------------------------------------

std::vector<char> versionInfo() {
    const std::wstring path = widen(VELMORA_EXE);
    DWORD ignored = 0;
    std::vector<char> block(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    if (block.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data())) {
        block.clear();
    }
    return block;
}

std::string versionText(std::vector<char>& block, const std::wstring& language, const wchar_t* name) {
    wchar_t* text = nullptr;
    UINT length = 0;
    const std::wstring path = L"\\StringFileInfo\\" + language + L"\\" + name;
    if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) || text == nullptr) {
        return {};
    }
    return narrow(std::wstring(text, length > 0 ? length - 1 : 0));
}

TEST(VelmoraExeVersion, fixedPartHoldsTheProjectVersionOfAnApplication) {
    std::vector<char> block = versionInfo();
    ASSERT_FALSE(block.empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const std::string version = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                                std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                                std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                                std::to_string(LOWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(version, VELMORA_VERSION ".0");
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileFlags & VS_FF_DEBUG, 0u);
}

TEST(VelmoraExeVersion, namesItselfInSimplifiedChineseAndEnglish) {
    std::vector<char> block = versionInfo();
    ASSERT_FALSE(block.empty());
    WORD* translations = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                               &length));
    ASSERT_EQ(length, 8u);
    EXPECT_EQ(std::vector<WORD>(translations, translations + 4), (std::vector<WORD>{0x0804, 1200, 0x0409, 1200}));

    for (const wchar_t* language : {L"080404b0", L"040904b0"}) {
        SCOPED_TRACE(narrow(language));
        EXPECT_EQ(versionText(block, language, L"ProductName"), "Velmora VPN");
        EXPECT_EQ(versionText(block, language, L"OriginalFilename"), "velmora.exe");
        EXPECT_EQ(versionText(block, language, L"FileVersion"), VELMORA_VERSION);
        EXPECT_EQ(versionText(block, language, L"ProductVersion"), VELMORA_VERSION);
        EXPECT_EQ(versionText(block, language, L"CompanyName"), "Velmora");
        EXPECT_NE(versionText(block, language, L"LegalCopyright").find("© " VELMORA_COPYRIGHT_YEAR " Velmora"),
                  std::string::npos);
    }
    EXPECT_EQ(versionText(block, L"080404b0", L"FileDescription"), "Velmora VPN 拨号程序");
    EXPECT_EQ(versionText(block, L"080404b0", L"LegalCopyright").rfind("版权所有", 0), 0u);
    EXPECT_EQ(versionText(block, L"040904b0", L"FileDescription"), "Velmora VPN dialer");
}

// --- Icons -------------------------------------------------------------------------------

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

// An icon's images by size and bits per pixel: each its RT_ICON data, which starts with a
// BITMAPINFOHEADER.
using IconImages = std::map<std::pair<int, int>, std::string>;

BOOL CALLBACK collectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
    if (IS_INTRESOURCE(name)) {
        reinterpret_cast<std::set<int>*>(names)->insert(static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    }
    return TRUE;
}

class VelmoraExeIcons : public VelmoraExeResources {
protected:
    // The images the icon's directory lists, each checked against the header of its own data:
    // a BITMAPINFOHEADER, or a PNG's for 256 pixels, which the directory writes as 0.
    IconImages images(int icon) const {
        IconImages found;
        const std::string group = resource(MAKEINTRESOURCEW(icon), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
        WORD count = 0;
        std::memcpy(&count, group.data() + 4, std::min<std::size_t>(group.size() >= 6 ? 2 : 0, sizeof count));
        for (std::size_t i = 0; i < count && 6 + (i + 1) * sizeof(GroupIconEntry) <= group.size(); ++i) {
            GroupIconEntry entry{};
            std::memcpy(&entry, group.data() + 6 + i * sizeof entry, sizeof entry);
            const std::string data = resource(MAKEINTRESOURCEW(entry.id), MAKEINTRESOURCEW(3));  // RT_ICON
            const int size = entry.width == 0 ? 256 : entry.width;
            if (data.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0) {
                EXPECT_EQ(data.compare(16, 4, std::string("\0\0\1\0", 4)), 0) << "a PNG is 256 pixels wide";
            } else {
                BITMAPINFOHEADER header{};
                std::memcpy(&header, data.data(), std::min(data.size(), sizeof header));
                EXPECT_EQ(header.biWidth, size);
                EXPECT_EQ(header.biHeight, 2 * size) << "colour and mask";
                EXPECT_EQ(header.biBitCount, entry.bitCount);
            }
            found[{size, entry.bitCount}] = data;
        }
        return found;
    }

    static std::set<std::pair<int, int>> sizesAndDepths(const IconImages& images) {
        std::set<std::pair<int, int>> result;
        for (const auto& [format, data] : images) {
            result.insert(format);
        }
        return result;
    }
};

// Each size in 16 colours and in true colour.
std::set<std::pair<int, int>> inBothDepths(std::initializer_list<int> sizes) {
    std::set<std::pair<int, int>> result;
    for (int size : sizes) {
        result.insert({{size, 4}, {size, 32}});
    }
    return result;
}

TEST_F(VelmoraExeIcons, theProgramsIconComesInEverySizeFrom96To144DpiAnd256ForExplorer) {
    ASSERT_NE(module, nullptr);
    std::set<int> groups;
    EnumResourceNamesW(module, MAKEINTRESOURCEW(14), collectName, reinterpret_cast<LONG_PTR>(&groups));
    EXPECT_EQ(groups, (std::set<int>{IDI_VELMORA, IDI_TRAY_IDLE, IDI_TRAY_BUSY, IDI_TRAY_UP}));
    // Listed first, the program's icon is the one Explorer shows for the exe.
    EXPECT_EQ(*groups.begin(), IDI_VELMORA);
    auto expected = inBothDepths({16, 20, 24, 32, 40, 48});
    expected.insert({256, 32});
    EXPECT_EQ(sizesAndDepths(images(IDI_VELMORA)), expected);
}

TEST_F(VelmoraExeIcons, eachTrayStateComesInTheSmallAndLargeSizesFrom96To144Dpi) {
    ASSERT_NE(module, nullptr);
    for (int icon : {IDI_TRAY_IDLE, IDI_TRAY_BUSY, IDI_TRAY_UP}) {
        EXPECT_EQ(sizesAndDepths(images(icon)), inBothDepths({16, 20, 24, 32, 40})) << icon;
    }
}

// A 16-pixel 32-bit image as a person without colour vision sees it over a background of the
// given grey: each pixel's lightness (0 to 255) blended by its alpha, and whether it is opaque.
std::vector<std::pair<double, bool>> inGrey(const std::string& image, double background) {
    std::vector<std::pair<double, bool>> pixels;
    for (std::size_t at = sizeof(BITMAPINFOHEADER); pixels.size() < 16 * 16 && at + 4 <= image.size(); at += 4) {
        const auto* bgra = reinterpret_cast<const unsigned char*>(image.data() + at);
        const double own = 0.299 * bgra[2] + 0.587 * bgra[1] + 0.114 * bgra[0];
        pixels.push_back({(own * bgra[3] + background * (255 - bgra[3])) / 255, bgra[3] >= 128});
    }
    pixels.resize(16 * 16);
    return pixels;
}

TEST_F(VelmoraExeIcons, theTrayStatesDifferInShapeAndLightnessAt16Pixels) {
    ASSERT_NE(module, nullptr);
    const std::vector<std::pair<const char*, std::string>> states = {
        {"idle", images(IDI_TRAY_IDLE)[{16, 32}]},
        {"busy", images(IDI_TRAY_BUSY)[{16, 32}]},
        {"up", images(IDI_TRAY_UP)[{16, 32}]}};
    for (std::size_t a = 0; a < states.size(); ++a) {
        for (std::size_t b = a + 1; b < states.size(); ++b) {
            SCOPED_TRACE(std::string(states[a].first) + " and " + states[b].first);
            // On a dark, a middle and a light task bar, without telling hues apart: a mean
            // difference of 16 grey levels a pixel, and an eighth of the pixels in one shape only.
            for (double background : {0.0, 128.0, 255.0}) {
                const auto first = inGrey(states[a].second, background);
                const auto second = inGrey(states[b].second, background);
                double lightness = 0;
                int shape = 0;
                for (std::size_t i = 0; i < first.size(); ++i) {
                    lightness += std::abs(first[i].first - second[i].first);
                    shape += first[i].second != second[i].second ? 1 : 0;
                }
                EXPECT_GE(lightness / first.size(), 16.0) << "over grey " << background;
                EXPECT_GE(shape, 32);
            }
        }
    }
}

}  // namespace
}  // namespace velmora
