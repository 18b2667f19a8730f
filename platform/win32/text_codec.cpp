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

std::string utf8ToAnsi(const std::string& utf8) {
    // No best fit: a look-alike ("e" for "é") would pass for what was typed; "?" shows the loss.
    const std::wstring wide = widen(utf8);
    if (wide.empty()) {
        return {};
    }
    const int wideLength = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, ansi.data(), length, nullptr, nullptr);
    return ansi;
}

}  // namespace velmora
