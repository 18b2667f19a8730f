#include "platform/win32/text_codec.h"

#include <windows.h>

namespace velmora {

namespace {

std::wstring toWide(UINT codePage, const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string fromWide(UINT codePage, const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    const int length =
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length, nullptr, nullptr);
    return text;
}

}  // namespace

std::wstring widen(const std::string& utf8) {
    return toWide(CP_UTF8, utf8);
}

std::string narrow(const std::wstring& wide) {
    return fromWide(CP_UTF8, wide);
}

std::string ansiToUtf8(const std::string& ansi) {
    return narrow(toWide(CP_ACP, ansi));
}

DWORD noBestFitFlags(UINT codePage) {
    if (codePage == CP_ACP) {
        codePage = GetACP();
    } else if (codePage == CP_OEMCP) {
        codePage = GetOEMCP();
    }
    const bool refusesFlags = codePage == CP_UTF8 || codePage == CP_UTF7 || codePage == 42 || codePage == 54936 ||
                              (codePage >= 50220 && codePage <= 50229) || (codePage >= 57002 && codePage <= 57011);
    return refusesFlags ? 0 : WC_NO_BEST_FIT_CHARS;
}

std::optional<std::string> utf8ToCodePage(const std::string& utf8, UINT codePage) {
    const std::wstring wide = widen(utf8);
    if (wide.empty()) {
        return std::string();
    }
    const DWORD flags = noBestFitFlags(codePage);
    const int wideLength = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(codePage, flags, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    if (WideCharToMultiByte(codePage, flags, wide.data(), wideLength, text.data(), length, nullptr, nullptr) !=
        length) {
        return std::nullopt;
    }
    return text;
}

std::string utf8ToAnsi(const std::string& utf8) {
    return utf8ToCodePage(utf8, CP_ACP).value_or(std::string());
}

}  // namespace velmora
