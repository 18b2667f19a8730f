#include "platform/win32/client_token.h"

#include <sddl.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"

namespace velmora {

namespace {

constexpr const wchar_t* kAdministrators = L"S-1-5-32-544";
constexpr const wchar_t* kInteractive = L"S-1-5-4";
constexpr const wchar_t* kNetwork = L"S-1-5-2";

// The token's information of that class; empty when the token has none (an older Windows lacks
// the class) or it cannot be read.
std::vector<unsigned char> information(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
    DWORD size = 0;
    (void)GetTokenInformation(token, kind, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size == 0 || !GetTokenInformation(token, kind, buffer.data(), size, &size)) {
        buffer.clear();
    }
    return buffer;
}

bool isSid(PSID sid, const wchar_t* text) {
    PSID wanted = nullptr;
    if (!ConvertStringSidToSidW(text, &wanted)) {
        return false;
    }
    const bool same = EqualSid(sid, wanted) != FALSE;
    (void)LocalFree(wanted);
    return same;
}

std::string sidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) {
        return {};
    }
    const std::string result = narrow(text);
    (void)LocalFree(text);
    return result;
}

// "DOMAIN\name", or the SID's text where the account cannot be looked up.
std::string accountName(PSID sid) {
    wchar_t name[256] = {};
    wchar_t domain[256] = {};
    DWORD nameLength = 256;
    DWORD domainLength = 256;
    SID_NAME_USE use = SidTypeUnknown;
    if (!LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use)) {
        return sidText(sid);
    }
    return domain[0] != L'\0' ? narrow(domain) + "\\" + narrow(name) : narrow(name);
}

// The group's attributes in the token, when the token holds it.
std::optional<DWORD> groupAttributes(const std::vector<unsigned char>& groups, const wchar_t* sid) {
    if (groups.empty()) {
        return std::nullopt;
    }
    const auto* list = reinterpret_cast<const TOKEN_GROUPS*>(groups.data());
    for (DWORD i = 0; i < list->GroupCount; ++i) {
        if (isSid(list->Groups[i].Sid, sid)) {
            return list->Groups[i].Attributes;
        }
    }
    return std::nullopt;
}

bool member(HANDLE token, const std::string& group) {
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD sidSize = sizeof sid;
    wchar_t domain[256] = {};
    DWORD domainLength = 256;
    SID_NAME_USE use = SidTypeUnknown;
    BOOL isMember = FALSE;
    return !group.empty() &&
           LookupAccountNameW(nullptr, widen(group).c_str(), sid, &sidSize, domain, &domainLength, &use) &&
           CheckTokenMembership(token, sid, &isMember) && isMember;
}

ClientFacts factsOf(HANDLE token, const std::string& allowedGroup) {
    ClientFacts facts;
    const std::vector<unsigned char> user = information(token, TokenUser);
    if (user.empty()) {
        return facts;
    }
    PSID userSid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
    facts.user = accountName(userSid);
    facts.sid = sidText(userSid);
    const std::vector<unsigned char> session = information(token, TokenSessionId);
    if (session.size() == sizeof(DWORD)) {
        facts.session = *reinterpret_cast<const DWORD*>(session.data());
    }
    const std::vector<unsigned char> groups = information(token, TokenGroups);
    // An administrator whose rights are not raised holds the group for denying only: still one.
    const auto administrators = groupAttributes(groups, kAdministrators);
    facts.administrator = administrators && (*administrators & (SE_GROUP_ENABLED | SE_GROUP_USE_FOR_DENY_ONLY)) != 0;
    const auto interactive = groupAttributes(groups, kInteractive);
    facts.interactive = interactive && (*interactive & SE_GROUP_ENABLED) != 0;
    facts.remote = groupAttributes(groups, kNetwork).has_value();
    // Windows before Vista has no integrity levels: nothing is below medium there.
    const std::vector<unsigned char> label = information(token, TokenIntegrityLevel);
    if (!label.empty()) {
        PSID level = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(label.data())->Label.Sid;
        const UCHAR count = *GetSidSubAuthorityCount(level);
        facts.lowIntegrity = count == 0 || *GetSidSubAuthority(level, count - 1) < SECURITY_MANDATORY_MEDIUM_RID;
    }
    facts.inAllowedGroup = member(token, allowedGroup);
    return facts;
}

}  // namespace

ClientFacts clientFacts(HANDLE pipe, const std::string& allowedGroup) {
    HANDLE token = nullptr;
    if (!ImpersonateNamedPipeClient(pipe)) {
        return {};
    }
    // Opened with the service's own rights, and the client's identity dropped at once: nothing
    // else runs as the client.
    const BOOL opened = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token);
    (void)RevertToSelf();
    if (!opened) {
        return {};
    }
    const UniqueHandle owned(token);
    return factsOf(token, allowedGroup);
}

}  // namespace velmora
