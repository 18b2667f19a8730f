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

// Bytes a row of a bitmap takes: its pixels' bits padded to a whole number of 4 bytes.
std::size_t rowBytes(int pixels, int bitCount) {
    return static_cast<std::size_t>((pixels * bitCount + 31) / 32 * 4);
}

// The palette of a 4-bit image holds 16 colours.
std::size_t paletteBytes(int bitCount) {
    return bitCount == 4 ? 16 * 4 : 0;
}

// A square icon image's bytes: header, palette, colour rows and 1-bit mask rows.
std::size_t imageBytes(int size, int bitCount) {
    return sizeof(BITMAPINFOHEADER) + paletteBytes(bitCount) +
           static_cast<std::size_t>(size) * (rowBytes(size, bitCount) + rowBytes(size, 1));
}

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
                EXPECT_EQ(data.size(), imageBytes(size, entry.bitCount)) << size << " pixels, " << entry.bitCount
                                                                         << " bits: rows padded to 4 bytes";
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

// --- The tray states on light and dark task bars ----------------------------------------

struct Rgb {
    int red;
    int green;
    int blue;
};

// How Windows puts an icon image on the screen: by its mask (the 16-colour image, and the 32-bit
// one on Windows 2000: the screen ANDed with the mask, XORed with the colour) or by its alpha.
enum class Drawn { byMask, byAlpha };

// A pixel of an icon drawn over a background, and whether it is part of the icon's shape.
struct DrawnPixel {
    Rgb colour;
    bool ofIcon;
};

// The image's pixels drawn over the background, top row first.
std::vector<DrawnPixel> drawOver(const std::string& image, int size, int bitCount, Drawn how, Rgb background) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(image.data());
    const std::size_t colours = sizeof(BITMAPINFOHEADER) + paletteBytes(bitCount);
    const std::size_t mask = colours + static_cast<std::size_t>(size) * rowBytes(size, bitCount);
    std::vector<DrawnPixel> pixels;
    for (int y = 0; y < size; ++y) {
        const std::size_t row = static_cast<std::size_t>(size - 1 - y);  // bottom row first
        for (int x = 0; x < size; ++x) {
            const unsigned char* bgra = nullptr;
            if (bitCount == 4) {
                const unsigned char pair = bytes[colours + row * rowBytes(size, 4) + static_cast<std::size_t>(x / 2)];
                const int index = x % 2 == 0 ? pair >> 4 : pair & 15;
                bgra = bytes + sizeof(BITMAPINFOHEADER) + 4 * index;
            } else {
                bgra = bytes + colours + (row * static_cast<std::size_t>(size) + static_cast<std::size_t>(x)) * 4;
            }
            const Rgb own{bgra[2], bgra[1], bgra[0]};
            if (how == Drawn::byAlpha) {
                const int alpha = bgra[3];
                const auto blend = [&](int colour, int behind) {
                    return (colour * alpha + behind * (255 - alpha)) / 255;
                };
                pixels.push_back({{blend(own.red, background.red), blend(own.green, background.green),
                                   blend(own.blue, background.blue)},
                                  alpha >= 128});
                continue;
            }
            const unsigned char bits = bytes[mask + row * rowBytes(size, 1) + static_cast<std::size_t>(x / 8)];
            const bool clear = ((bits >> (7 - x % 8)) & 1) != 0;
            pixels.push_back(clear ? DrawnPixel{{background.red ^ own.red, background.green ^ own.green,
                                                 background.blue ^ own.blue},
                                                false}
                                   : DrawnPixel{own, true});
        }
    }
    return pixels;
}

// Relative luminance and contrast ratio as the accessibility guidelines for the web define them.
double luminance(Rgb colour) {
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.red) + 0.7152 * linear(colour.green) + 0.0722 * linear(colour.blue);
}

double contrast(Rgb a, Rgb b) {
    const double first = luminance(a) + 0.05;
    const double second = luminance(b) + 0.05;
    return std::max(first, second) / std::min(first, second);
}

// How an icon stands out from the background: the pixels within its outline (its shape and what
// that shape encloses), and how deep, in pixels from its outer edge, it runs into the background:
// what can be reached from outside the image through pixels (meeting by a side) that contrast less
// than 3:1 with the background, at its deepest. A pixel at the image's edge or beside one outside
// the icon lies 1 deep, one beside that 2, diagonals counting as one step.
struct Outline {
    long within;
    int depthLost;
};

Outline outlineOver(const std::vector<DrawnPixel>& pixels, int size, Rgb background) {
    const auto at = [size](int x, int y) { return static_cast<std::size_t>(y * size + x); };
    const auto inside = [size](int x, int y) { return x >= 0 && y >= 0 && x < size && y < size; };
    // Everything reachable from outside the image through pixels that pass.
    const auto flood = [&](const auto& passes) {
        std::vector<bool> reached(pixels.size(), false);
        std::vector<std::pair<int, int>> queue;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                if ((x == 0 || y == 0 || x == size - 1 || y == size - 1) && passes(at(x, y))) {
                    reached[at(x, y)] = true;
                    queue.push_back({x, y});
                }
            }
        }
        for (std::size_t next = 0; next < queue.size(); ++next) {
            const auto [x, y] = queue[next];
            for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                if (inside(x + dx, y + dy) && !reached[at(x + dx, y + dy)] && passes(at(x + dx, y + dy))) {
                    reached[at(x + dx, y + dy)] = true;
                    queue.push_back({x + dx, y + dy});
                }
            }
        }
        return reached;
    };
    const std::vector<bool> outside = flood([&](std::size_t i) { return !pixels[i].ofIcon; });
    const std::vector<bool> lost =
        flood([&](std::size_t i) { return contrast(pixels[i].colour, background) < 3.0; });

    std::vector<int> depth(pixels.size(), size);
    std::vector<std::pair<int, int>> queue;
    for (int pass = 0; pass < 2; ++pass) {  // the outside first, then the image's edge
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const bool edge = x == 0 || y == 0 || x == size - 1 || y == size - 1;
                if (pass == 0 ? outside[at(x, y)] : edge && !outside[at(x, y)]) {
                    depth[at(x, y)] = pass;
                    queue.push_back({x, y});
                }
            }
        }
    }
    for (std::size_t next = 0; next < queue.size(); ++next) {
        const auto [x, y] = queue[next];
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (inside(x + dx, y + dy) && depth[at(x + dx, y + dy)] > depth[at(x, y)] + 1) {
                    depth[at(x + dx, y + dy)] = depth[at(x, y)] + 1;
                    queue.push_back({x + dx, y + dy});
                }
            }
        }
    }
    Outline result{static_cast<long>(std::count(outside.begin(), outside.end(), false)), 0};
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        if (lost[i]) {
            result.depthLost = std::max(result.depthLost, depth[i]);
        }
    }
    return result;
}

// Over the light task bar of Windows 10 and 11 and over their dark one, each state keeps its
// outline: a closed ring that contrasts 3:1 or more runs within the outer eighth of the icon, where
// its halo and its outline lie, in every size and colour depth and as each Windows draws it.
TEST_F(VelmoraExeIcons, theTrayStatesKeepTheirOutlineOnLightAndDarkTaskBars) {
    ASSERT_NE(module, nullptr);
    const std::pair<const char*, Rgb> taskBars[] = {{"light", {0xF3, 0xF3, 0xF3}}, {"dark", {0x20, 0x20, 0x20}}};
    for (const auto& [name, icon] : {std::pair{"idle", IDI_TRAY_IDLE}, {"busy", IDI_TRAY_BUSY}, {"up", IDI_TRAY_UP}}) {
        for (const auto& [format, data] : images(icon)) {
            const auto [size, bitCount] = format;
            ASSERT_EQ(data.size(), imageBytes(size, bitCount));
            for (Drawn how : {Drawn::byMask, Drawn::byAlpha}) {
                if (how == Drawn::byAlpha && bitCount != 32) {
                    continue;
                }
                for (const auto& [bar, background] : taskBars) {
                    SCOPED_TRACE(std::string(name) + " " + std::to_string(size) + " pixels, " +
                                 std::to_string(bitCount) + " bits, by " + (how == Drawn::byMask ? "mask" : "alpha") +
                                 ", on the " + bar + " task bar");
                    const Outline outline =
                        outlineOver(drawOver(data, size, bitCount, how, background), size, background);
                    EXPECT_GE(outline.within, size * size / 4) << "the shield takes a good part of the image";
                    EXPECT_LE(outline.depthLost, size / 8);
                }
            }
        }
    }
}

}  // namespace
}  // namespace velmora
