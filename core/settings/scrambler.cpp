#include "core/settings/scrambler.h"

#include <algorithm>
#include <array>
#include <vector>

#include "core/text/text.h"

namespace velmora {

namespace {

// Files written by every version depend on these symbols and their order: never change them.
constexpr std::array<char, 16> kSymbolTable = {
    'K', '7', 'q', 'M', 'x', '3', 'R', 'f', 'W', '9', 'd', 'T', 'h', '5', 'P', 'z',
};

}  // namespace

std::string nibbleToSymbol(int nibble) {
    if (nibble < 0 || nibble > 15) {
        return {};
    }
    return std::string(1, kSymbolTable[static_cast<std::size_t>(nibble)]);
}

int symbolToNibble(const std::string& symbol) {
    if (symbol.size() == 1) {
        const auto found = std::find(kSymbolTable.begin(), kSymbolTable.end(), symbol[0]);
        if (found != kSymbolTable.end()) {
            return static_cast<int>(found - kSymbolTable.begin());
        }
    }
    return 10;
}

std::string byteToSymbols(int value) {
    return nibbleToSymbol(value / 16) + nibbleToSymbol(value % 16);
}

std::optional<std::string> scrambleText(const std::string& codes) {
    if (codes.size() > kMaxSecretChars) {
        return std::nullopt;
    }
    std::string symbols;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const int code = static_cast<unsigned char>(codes[i]);
        const int value = code + static_cast<int>(i + 1);
        if (code == 0 || value > 255) {
            return std::nullopt;
        }
        symbols += byteToSymbols(value);
    }
    std::reverse(symbols.begin(), symbols.end());
    return symbols;
}

std::string unscrambleText(const std::string& line) {
    const std::size_t pairs = charCount(line) / 2;
    if (pairs > kMaxSecretChars) {
        return {};
    }
    std::vector<std::string> symbols = splitChars(line);
    std::reverse(symbols.begin(), symbols.end());
    std::string codes;
    for (std::size_t i = 1; i <= pairs; ++i) {
        const int value = 16 * symbolToNibble(symbols[2 * i - 2]) + symbolToNibble(symbols[2 * i - 1]);
        const int code = value - static_cast<int>(i);
        if (code >= 1 && code <= 255) {
            codes += static_cast<char>(code);
        }
    }
    return codes;
}

}  // namespace velmora
