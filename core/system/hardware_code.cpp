#include "core/system/hardware_code.h"

#include <cstdint>
#include <vector>

#include "core/text/text.h"

namespace velmora {

namespace {

constexpr std::size_t kPieceChars = 4;

std::string lastChars(const std::string& utf8, std::size_t n) {
    const std::size_t count = charCount(utf8);
    return count <= n ? utf8 : utf8.substr(leftChars(utf8, count - n).size());
}

}  // namespace

std::string LocalMACAddress(IpHelper& ipHelper) {
    static const char kHexDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::vector<std::uint8_t>& address : ipHelper.adapterAddresses()) {
        for (const std::uint8_t byte : address) {
            text += kHexDigits[byte >> 4];
            text += kHexDigits[byte & 0x0F];
        }
        text += "\r\n";
    }
    return text;
}

std::string getHDCode(ManagementService& management, IpHelper& ipHelper) {
    const std::vector<std::string> ids = management.processorIds();
    const std::string processorId = ids.empty() ? std::string() : ids.back();
    // The address text is ASCII, so its characters are its bytes. With a six-byte first
    // adapter the piece is that adapter's last two bytes; a shorter address lets it run on
    // into the line end and the next adapter, which is taken as it comes.
    const std::string addressText = LocalMACAddress(ipHelper);
    if (charCount(processorId) < kPieceChars) {
        return {};
    }
    const std::string addressPiece = addressText.size() > 8 ? addressText.substr(8, kPieceChars) : std::string();
    return leftChars(processorId, kPieceChars) + addressPiece + lastChars(processorId, kPieceChars);
}

}  // namespace velmora
