// The process's own account: its user's SID and its token's privileges.
// 95/98/Me have no accounts, and their ADVAPI32 exports few of these
// functions, some not at all: a missing import would stop the program
// before it starts, so each is looked up by name and called on the NT
// family only.
#include "platform/Win932.h"

#include <vector>

#include "platform/Handles.h"
#include "platform/StrictWindows.h"
#include "platform/SystemLibraries.h"

using win932::WideSystem;
using win932::Wide;

namespace {

template <typename Function>
Function Advapi(const char* name) {
    return syslib::LoadedEntry<Function>("ADVAPI32.DLL", name);
}

struct SecurityEntries {
    decltype(&::OpenProcessToken) openProcessToken = Advapi<decltype(&::OpenProcessToken)>("OpenProcessToken");
    decltype(&::GetTokenInformation) getTokenInformation =
        Advapi<decltype(&::GetTokenInformation)>("GetTokenInformation");
    decltype(&::AdjustTokenPrivileges) adjustTokenPrivileges =
        Advapi<decltype(&::AdjustTokenPrivileges)>("AdjustTokenPrivileges");
    decltype(&::LookupPrivilegeValueW) lookupPrivilegeValue =
        Advapi<decltype(&::LookupPrivilegeValueW)>("LookupPrivilegeValueW");
    decltype(&::IsValidSid) isValidSid = Advapi<decltype(&::IsValidSid)>("IsValidSid");
    decltype(&::GetSidIdentifierAuthority) getSidIdentifierAuthority =
        Advapi<decltype(&::GetSidIdentifierAuthority)>("GetSidIdentifierAuthority");
    decltype(&::GetSidSubAuthorityCount) getSidSubAuthorityCount =
        Advapi<decltype(&::GetSidSubAuthorityCount)>("GetSidSubAuthorityCount");
    decltype(&::GetSidSubAuthority) getSidSubAuthority =
        Advapi<decltype(&::GetSidSubAuthority)>("GetSidSubAuthority");
};

// Null on 95/98/Me (and on the ANSI path of the tests), with the code
// those systems give for the security functions.
const SecurityEntries* Entries() {
    if (!WideSystem()) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return nullptr;
    }
    if (!strict::Allows("Security", 0)) return nullptr;
    static const SecurityEntries entries;
    return &entries;
}

}  // namespace

std::string CurrentUserSid932() {
    const SecurityEntries* e = Entries();
    if (!e || !e->openProcessToken || !e->getTokenInformation || !e->isValidSid || !e->getSidIdentifierAuthority ||
        !e->getSidSubAuthorityCount || !e->getSidSubAuthority)
        return {};
    KernelObject token;
    if (!e->openProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
    DWORD size = 0;
    e->getTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size ? size : 1);
    if (!e->getTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    if (!e->isValidSid(sid)) return {};
    // Written out by hand: the conversion function is missing before 2000.
    const SID_IDENTIFIER_AUTHORITY* authority = e->getSidIdentifierAuthority(sid);
    unsigned long long value = 0;
    for (BYTE byte : authority->Value) value = (value << 8) | byte;
    std::string text = "S-1-" + std::to_string(value);
    const UCHAR count = *e->getSidSubAuthorityCount(sid);
    for (UCHAR i = 0; i < count; ++i) text += "-" + std::to_string(*e->getSidSubAuthority(sid, i));
    return text;
}

std::vector<BYTE> TokenInformation932(TOKEN_INFORMATION_CLASS kind) {
    const SecurityEntries* e = Entries();
    if (!e || !e->openProcessToken || !e->getTokenInformation) return {};
    KernelObject token;
    if (!e->openProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
    DWORD size = 0;
    e->getTokenInformation(token.get(), kind, nullptr, 0, &size);
    if (size == 0 || size > 64 * 1024) return {};
    std::vector<BYTE> buffer(size);
    if (!e->getTokenInformation(token.get(), kind, buffer.data(), size, &size)) return {};
    return buffer;
}

bool EnableProcessPrivilege932(const std::string& name, bool enable) {
    const SecurityEntries* e = Entries();
    if (!e) return false;
    if (!e->openProcessToken || !e->lookupPrivilegeValue || !e->adjustTokenPrivileges) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    KernelObject token;
    if (!e->openProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) return false;
    LUID luid;
    if (!e->lookupPrivilegeValue(nullptr, Wide(name).c_str(), &luid)) return false;
    TOKEN_PRIVILEGES wanted = {};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Luid = luid;
    wanted.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    TOKEN_PRIVILEGES previous = {};
    DWORD previousSize = 0;
    return e->adjustTokenPrivileges(token.get(), FALSE, &wanted, sizeof previous, &previous, &previousSize) != FALSE;
}
