// A fresh folder under the temporary folder for one test, removed with its files afterwards;
// and the small file helpers the Win32 tests share.
#pragma once

#include <windows.h>

#include <optional>
#include <set>
#include <string>

namespace velmora::testing {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

bool fileExists(const std::wstring& path);

// The whole file as bytes; empty when it cannot be read.
std::string readBytes(const std::wstring& path);

// The folder of the running test program, where the helper programs and the stand-in DLL lie.
std::wstring programFolder();

// Runs a command line hidden as Windows finds its program from the line itself (under Wine, a Unix
// program by its path too) and waits for it; its exit status, nothing when it did not start. Wine
// neither waits for a Unix program nor reports its end: nothing then, and what it does is to be
// looked for. For the tests' own helpers: the program never starts anything this way.
std::optional<DWORD> runCommandLine(const std::string& commandLine);

// Under Wine: a new folder `target` and, named `link`, a Unix symbolic link to it, which Wine shows
// as a reparse point; false when the link did not appear within seconds. removeLinkedFolder takes
// both away, also what an earlier run left; false when they are still there.
bool makeLinkedFolder(const std::wstring& target, const std::wstring& link);
bool removeLinkedFolder(const std::wstring& target, const std::wstring& link);

// The accounts (SID strings) that an access list grants something to; "S-1-1-0" is Everyone.
std::set<std::wstring> grantedTo(PACL access);
// The same of a file's access list; {"unreadable"} when its security cannot be read.
std::set<std::wstring> grantedTo(const std::wstring& path);

// The kernel handles a process holds now, from the system's handle list (Wine answers
// GetProcessHandleCount with 0 whatever the count); nothing when the list cannot be read.
std::optional<DWORD> handleCount(DWORD processId);

}  // namespace velmora::testing
