// The service's pipe against Wine: its descriptor entry by entry, as built and as an instance of
// the pipe holds it, and a name another program took first, which the service refuses to serve on
// and the window refuses to talk to.
#include "platform/win32/process_user.h"
#include "platform/win32/service_pipe.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_service_channel.h"

namespace velmora {
namespace {

struct Entry {
    BYTE type;  // ACCESS_ALLOWED_ACE_TYPE or ACCESS_DENIED_ACE_TYPE
    BYTE flags;
    DWORD mask;
    std::wstring sid;
    bool operator==(const Entry& other) const {
        return type == other.type && flags == other.flags && mask == other.mask && sid == other.sid;
    }
};

std::ostream& operator<<(std::ostream& out, const Entry& entry) {
    return out << (entry.type == ACCESS_DENIED_ACE_TYPE ? "deny " : "allow ") << std::hex << entry.mask << " to "
               << narrow(entry.sid) << " flags " << static_cast<int>(entry.flags);
}

std::wstring sidText(PSID sid) {
    wchar_t* text = nullptr;
    if (sid == nullptr || !ConvertSidToStringSidW(sid, &text)) {
        return L"none";
    }
    std::wstring result = text;
    LocalFree(text);
    return result;
}

// What a descriptor says, read back entry by entry.
struct Described {
    std::wstring owner;
    bool protectedList = false;
    std::vector<Entry> entries;
};

Described describe(PSECURITY_DESCRIPTOR descriptor) {
    Described described;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    BOOL present = FALSE;
    PACL list = nullptr;
    if (!GetSecurityDescriptorControl(descriptor, &control, &revision) ||
        !GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
        !GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted)) {
        return described;
    }
    described.owner = sidText(owner);
    described.protectedList = (control & SE_DACL_PROTECTED) != 0;
    for (DWORD i = 0; list != nullptr && i < list->AceCount; ++i) {
        void* ace = nullptr;
        if (GetAce(list, i, &ace)) {
            const auto* header = static_cast<ACE_HEADER*>(ace);
            // The allowed and denied entries share their layout.
            const auto* body = static_cast<ACCESS_ALLOWED_ACE*>(ace);
            described.entries.push_back(
                {header->AceType, header->AceFlags, body->Mask, sidText(const_cast<DWORD*>(&body->SidStart))});
        }
    }
    return described;
}

// The descriptor of the pipe a handle is an end of, as the system holds it.
Described describePipe(HANDLE pipe) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(pipe, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                        nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return {};
    }
    Described described = describe(descriptor);
    LocalFree(descriptor);
    return described;
}

// Network logons denied everything, the system and the administrators given everything, the users
// logged on at the computer reading and writing data, and nobody else anything: not Everyone
// (S-1-1-0), not Users (S-1-5-32-545), not Authenticated Users (S-1-5-11).
const std::vector<Entry> kExpectedEntries = {
    {ACCESS_DENIED_ACE_TYPE, 0, FILE_ALL_ACCESS, L"S-1-5-2"},
    {ACCESS_ALLOWED_ACE_TYPE, 0, FILE_ALL_ACCESS, L"S-1-5-18"},
    {ACCESS_ALLOWED_ACE_TYPE, 0, FILE_ALL_ACCESS, L"S-1-5-32-544"},
    // FILE_GENERIC_READ | FILE_WRITE_DATA: no FILE_APPEND_DATA, the right to make instances of the name.
    {ACCESS_ALLOWED_ACE_TYPE, 0, 0x12008B, L"S-1-5-4"},
};

TEST(ServicePipeDescriptor, isTheAdministratorsOwnAndGrantsOnlyWhatEachNeedsAsBuiltAndAsThePipeHoldsIt) {
    const ServicePipeSecurity security;
    ASSERT_NE(security.descriptor(), nullptr);
    const UniqueHandle pipe(createServicePipeInstance(true));
    ASSERT_NE(pipe.get(), INVALID_HANDLE_VALUE) << GetLastError();
    for (const Described& described : {describe(security.descriptor()), describePipe(pipe.get())}) {
        EXPECT_EQ(described.owner, L"S-1-5-32-544");
        EXPECT_TRUE(described.protectedList);
        EXPECT_EQ(described.entries, kExpectedEntries);
    }
    // The window asks for no more than the users' entry grants.
    EXPECT_EQ(kServicePipeClientAccess, kExpectedEntries[3].mask);
    EXPECT_TRUE(pipeOwnedBySystemOrAdministrators(pipe.get()));
}

// A pipe of the service's name that another program made before the service started: without a
// descriptor (Wine then gives it no owner), or owned by the user who runs the program.

HANDLE squat(const std::wstring& descriptorText) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!descriptorText.empty() &&
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(descriptorText.c_str(), SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        return INVALID_HANDLE_VALUE;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const HANDLE pipe = CreateNamedPipeW(kServicePipeName, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, PIPE_UNLIMITED_INSTANCES,
                                         4096, 4096, 0, descriptor != nullptr ? &attributes : nullptr);
    LocalFree(descriptor);
    return pipe;
}

class SquattedPipe : public ::testing::TestWithParam<const char*> {};

TEST_P(SquattedPipe, isNeitherServedOnByTheServiceNorTalkedToByTheWindow) {
    const std::wstring descriptor =
        std::string(GetParam()) == "no descriptor" ? std::wstring() : L"O:" + processUserSid() + L"D:(A;;GA;;;WD)";
    const UniqueHandle squatter(squat(descriptor));
    ASSERT_NE(squatter.get(), INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_FALSE(pipeOwnedBySystemOrAdministrators(squatter.get()));

    SetLastError(ERROR_SUCCESS);
    const UniqueHandle service(createServicePipeInstance(true));
    EXPECT_EQ(service.get(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    // The squatter's instance waits for a client from its creation.
    Win32ServiceConnector connector;
    EXPECT_EQ(connector.connect(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(TakenBy, SquattedPipe, ::testing::Values("no descriptor", "the user"),
                         [](const auto& info) { return std::string(info.param) == "no descriptor" ? "noDescriptor" : "theUser"; });

TEST(ServiceConnector, findsNoServiceWhereNoPipeIs) {
    Win32ServiceConnector connector;
    EXPECT_EQ(connector.connect(), nullptr);
}

}  // namespace
}  // namespace velmora
