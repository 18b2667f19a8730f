#include "platform/win32/win32_ansi_codec.h"

#include <windows.h>

#include "platform/win32/text_codec.h"

namespace velmora {

std::optional<std::string> Win32AnsiCodec::toAnsi(const std::string& utf8) const {
    const std::wstring wide = widen(utf8);
    if (wide.empty()) {
        return std::string();
    }
    const int wideLength = static_cast<int>(wide.size());
    // No default-character report for the code pages that refuse flags: the read-back below
    // still catches a character they lack.
    const DWORD flags = noBestFitFlags(CP_ACP);
    BOOL usedDefault = FALSE;
    BOOL* const reportDefault = flags != 0 ? &usedDefault : nullptr;
    const int length =
        WideCharToMultiByte(CP_ACP, flags, wide.data(), wideLength, nullptr, 0, nullptr, reportDefault);
    if (length <= 0 || usedDefault) {
        return std::nullopt;
    }
    std::string ansi(static_cast<std::size_t>(length), '\0');
    if (WideCharToMultiByte(CP_ACP, flags, wide.data(), wideLength, ansi.data(), length, nullptr, reportDefault) !=
        length) {
        return std::nullopt;
    }
    // Only a code that reads back as the same character is the character's own code.
    const auto back = fromAnsi(ansi);
    if (usedDefault || !back || widen(*back) != wide) {
        return std::nullopt;
    }
    return ansi;
}

std::optional<std::string> Win32AnsiCodec::fromAnsi(const std::string& ansi) const {
    if (ansi.empty()) {
        return std::string();
    }
    const int ansiLength = static_cast<int>(ansi.size());
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), ansiLength, nullptr, 0);
    if (length <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), ansiLength, wide.data(), length) != length) {
        return std::nullopt;
    }
    return narrow(wide);
}

}  // namespace velmora
