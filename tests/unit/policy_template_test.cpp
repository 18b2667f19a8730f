// The administrative template as Group Policy reads it: well-formed XML, every policy's value one
// that the program reads under its policy key (and every setting it reads offered by a policy),
// and every text and presentation the template names present in both languages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/service/client_decision.h"
#include "core/settings/administrator_profile.h"

namespace velmora {
namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every piece of the text between an opening and the closing character after it, in order.
std::vector<std::string> enclosed(const std::string& text, const std::string& opening, char closing) {
    std::vector<std::string> pieces;
    for (std::size_t at = text.find(opening); at != std::string::npos; at = text.find(opening, at + 1)) {
        const std::size_t start = at + opening.size();
        pieces.push_back(text.substr(start, text.find(closing, start) - start));
    }
    return pieces;
}

// Every value of the attribute (name="value") in the text, in order.
std::vector<std::string> attributeValues(const std::string& text, const std::string& name) {
    return enclosed(text, " " + name + "=\"", '"');
}

// The names referred to as $(kind.name).
std::set<std::string> references(const std::string& text, const std::string& kind) {
    const std::vector<std::string> names = enclosed(text, "$(" + kind + ".", ')');
    return {names.begin(), names.end()};
}

// Empty when the text is well-formed as far as Group Policy's reader cares: one root, every element
// closed in order, attributes quoted, no bare ampersand or angle bracket; else what is wrong.
std::string wellFormed(const std::string& text) {
    std::vector<std::string> open;
    int roots = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '&') {
            const std::size_t end = text.find(';', at);
            const std::string entity = end == std::string::npos ? "" : text.substr(at, end - at + 1);
            if (entity != "&amp;" && entity != "&lt;" && entity != "&gt;" && entity != "&quot;" && entity != "&apos;") {
                return "a bare & at " + std::to_string(at);
            }
            continue;
        }
        if (text[at] == '>') {
            return "a bare > at " + std::to_string(at);
        }
        if (text[at] != '<') {
            continue;
        }
        const std::string closing = text.compare(at, 4, "<!--") == 0 ? "-->" : text.compare(at, 2, "<?") == 0 ? "?>" : ">";
        std::size_t end = at + 1;
        for (bool quoted = false; end < text.size() && (quoted || text.compare(end, closing.size(), closing) != 0); ++end) {
            quoted = text[end] == '"' ? !quoted : quoted;
            if (!quoted && closing == ">" && text[end] == '<') {
                return "a tag not closed at " + std::to_string(at);
            }
        }
        if (end >= text.size()) {
            return "a tag not closed at " + std::to_string(at);
        }
        const std::string tag = text.substr(at + 1, end - at - 1);
        at = end + closing.size() - 1;
        if (closing != ">") {
            continue;
        }
        const std::string name = tag.substr(tag[0] == '/', tag.find_first_of(" \t\r\n/", 1) - (tag[0] == '/'));
        if (tag[0] == '/') {
            if (open.empty() || open.back() != name) {
                return "</" + name + "> closes " + (open.empty() ? "nothing" : "<" + open.back() + ">");
            }
            open.pop_back();
        } else {
            roots += open.empty() ? 1 : 0;
            if (tag.back() != '/') {
                open.push_back(name);
            }
        }
    }
    return !open.empty() ? "<" + open.back() + "> never closed" : roots != 1 ? "not one root" : "";
}

class PolicyTemplate : public ::testing::Test {
protected:
    const std::string admx = readFile(VELMORA_POLICY_DIR "/velmora.admx");
    const std::vector<std::string> admls = {readFile(VELMORA_POLICY_DIR "/en-US/velmora.adml"),
                                            readFile(VELMORA_POLICY_DIR "/zh-CN/velmora.adml")};
};

TEST_F(PolicyTemplate, isWellFormedXml) {
    ASSERT_FALSE(admx.empty());
    EXPECT_EQ(wellFormed(admx), "");
    for (const std::string& adml : admls) {
        ASSERT_FALSE(adml.empty());
        EXPECT_EQ(wellFormed(adml), "");
    }
    // The checker itself catches what it is for.
    EXPECT_NE(wellFormed("<a><b></a></b>"), "");
    EXPECT_NE(wellFormed("<a>R&D</a>"), "");
    EXPECT_NE(wellFormed("<a/><b/>"), "");
}

TEST_F(PolicyTemplate, eachPolicyValueIsASettingTheProgramReadsUnderItsKeyAndTheReverse) {
    const auto values = attributeValues(admx, "valueName");
    std::set<std::string> read(kAdministratorSettings.begin(), kAdministratorSettings.end());
    read.insert(kAllowedGroupValue);  // the service's
    EXPECT_EQ(std::set<std::string>(values.begin(), values.end()), read);
    EXPECT_EQ(values.size(), read.size()) << "one policy per setting";
    // The registry is not case-sensitive; the program reads HKLM\SOFTWARE\Policies\...
    std::string programKey = kPolicyKey;
    for (const std::string& key : attributeValues(admx, "key")) {
        EXPECT_EQ(key.size(), programKey.size());
        EXPECT_TRUE(std::equal(key.begin(), key.end(), programKey.begin(), programKey.end(),
                               [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
            << key;
    }
    EXPECT_EQ(attributeValues(admx, "class"), std::vector<std::string>(read.size(), "Machine"));
}

TEST_F(PolicyTemplate, bothLanguagesHoldEveryTextAndPresentationItNames) {
    for (const std::string& adml : admls) {
        const auto strings = attributeValues(adml, "id");
        const std::set<std::string> defined(strings.begin(), strings.end());
        for (const std::string& kind : {std::string("string"), std::string("presentation")}) {
            for (const std::string& name : references(admx, kind)) {
                EXPECT_EQ(defined.count(name), 1u) << kind << "." << name;
            }
        }
        // The preshared key's explanation warns that every user can read a key set by policy, in
        // the domain's policy files and on each computer, and names the safer way.
        const std::size_t help = adml.find("id=\"PresharedKey_Help\"");
        ASSERT_NE(help, std::string::npos);
        const std::string text = adml.substr(help, adml.find("</string>", help) - help);
        EXPECT_TRUE(text.find("every user") != std::string::npos || text.find("每个用户都能") != std::string::npos);
        EXPECT_NE(text.find("SYSVOL"), std::string::npos);
        EXPECT_NE(text.find("PSK"), std::string::npos);
    }
}

}  // namespace
}  // namespace velmora
