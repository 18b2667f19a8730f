// libFuzzer target: arbitrary bytes as the settings file, as a stored secret line and as an
// address, checking on every input the promises the reader, the restorer and checkip make.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/profile/conn_profile.h"
#include "core/profile/validation.h"
#include "core/settings/scrambler.h"
#include "core/settings/secret_line.h"
#include "core/settings/settings_file.h"
#include "tests/fakes/fake_ansi_codec.h"
#include "tests/fakes/fake_control_surface.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_shell_folders.h"
#include "tests/fakes/fake_text_files.h"

namespace velmora {
namespace {

void require(bool promise) {
    if (!promise) {
        std::abort();
    }
}

void loadAsSettingsFile(const std::string& bytes) {
    testing::FakeTextFiles files;
    files.files["C:\\l2tpipsec.ini"] = bytes;
    testing::FakeShellFolders shell{std::string("C:\\Documents and Settings\\user\\My Documents")};
    testing::FakeAnsiCodec codec;
    testing::FakeControlSurface window;
    int clicks = 0;
    const auto click = [&clicks] { ++clicks; };
    testing::MemoryLog log;
    SettingsFile(window, shell, files, codec, log.log).readConfig({click, click, click, click});

    const ConnProfile p = readProfile(window);
    require(window.messages.empty());
    require(!p.txtConnName.empty() && !p.txtServerAddress.empty());
    for (const std::string* address : {&p.txtpeer, &p.txtpeermask, &p.txtlocal, &p.txtpeer2, &p.txtpeermask2}) {
        require(checkip(*address));
    }
    require(checkalg(p.comalg));
    require(p.txtpreshare.size() <= 4 * kMaxSecretChars && p.txtPasswd.size() <= 4 * kMaxSecretChars);
    require(clicks <= 4);
}

void restoreAsSecretLine(const std::string& bytes) {
    const std::string codes = unscrambleText(bytes);
    require(codes.size() <= kMaxSecretChars);
    require(codes.find('\0') == std::string::npos);
    testing::FakeAnsiCodec codec;
    (void)lineToSecret(bytes, codec);
    // Whatever the scrambler accepts comes back unchanged.
    if (const auto line = scrambleText(bytes)) {
        require(line->size() == 2 * bytes.size());
        require(unscrambleText(*line) == bytes);
    }
}

void checkAsAddress(const std::string& bytes) {
    const std::string network = getipnetaddress(bytes, bytes);
    if (!checkip(bytes)) {
        require(network == "0.0.0.0");
        return;
    }
    // An accepted address ANDed with itself is itself, in plain decimals, and accepted again.
    require(checkip(network));
    require(network.find_first_not_of("0123456789.") == std::string::npos);
    require(getipnetaddress(network, network) == network);
    require(getipnetaddress(bytes, "255.0.255.0") == getipnetaddress(network, "255.0.255.0"));
}

}  // namespace
}  // namespace velmora

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    velmora::loadAsSettingsFile(bytes);
    velmora::restoreAsSecretLine(bytes);
    velmora::checkAsAddress(bytes);
    return 0;
}
