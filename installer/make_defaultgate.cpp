// Writes defaultgate.pbk at build time, natively, from the program's own phonebook lines: each
// line in code page 936 (GBK, as Simplified Chinese Windows writes the other two) and CR LF.
//   velmora_make_defaultgate <output file>
#include <iconv.h>

#include <cstdio>
#include <optional>
#include <string>

#include "core/connection/phonebook.h"

namespace {

// The UTF-8 text in code page 936; nothing when a character has no code there.
std::optional<std::string> toCodePage936(const std::string& utf8) {
    const iconv_t converter = iconv_open("CP936", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string in = utf8;
    std::string out(utf8.size() * 2, '\0');
    char* from = in.data();
    char* to = out.data();
    std::size_t fromLeft = in.size();
    std::size_t toLeft = out.size();
    const std::size_t converted = iconv(converter, &from, &fromLeft, &to, &toLeft);
    iconv_close(converter);
    if (converted == static_cast<std::size_t>(-1)) {
        return std::nullopt;
    }
    out.resize(out.size() - toLeft);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output file>\n", argv[0]);
        return 2;
    }
    std::string bytes;
    for (const std::string& line : velmora::defaultGatewayPhonebookLines()) {
        const auto encoded = toCodePage936(line);
        if (!encoded) {
            std::fprintf(stderr, "no code page 936 form of the line \"%s\"\n", line.c_str());
            return 1;
        }
        bytes += *encoded + "\r\n";
    }
    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
