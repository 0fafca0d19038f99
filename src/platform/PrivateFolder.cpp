#include "platform/PrivateFolder.h"

#include <cstring>

#include "platform/Handles.h"
#include "platform/Win932.h"

namespace {

// A SID as its bytes: revision 1, the count, the authority (big-endian, six
// bytes), then the sub-authorities (little-endian, four bytes each).
std::vector<BYTE> NtSid(std::initializer_list<DWORD> subAuthorities) {
    std::vector<BYTE> sid = {1, static_cast<BYTE>(subAuthorities.size()), 0, 0, 0, 0, 0, 5};
    for (DWORD rid : subAuthorities)
        for (int shift = 0; shift < 32; shift += 8) sid.push_back(static_cast<BYTE>(rid >> shift));
    return sid;
}

const std::vector<BYTE>& LocalSystem() {
    static const std::vector<BYTE> sid = NtSid({SECURITY_LOCAL_SYSTEM_RID});
    return sid;
}
const std::vector<BYTE>& Administrators() {
    static const std::vector<BYTE> sid = NtSid({SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS});
    return sid;
}

// The bytes of a SID the system handed over; empty when they do not form one.
std::vector<BYTE> SidBytes(const void* sid, size_t room) {
    const auto* bytes = static_cast<const BYTE*>(sid);
    if (!sid || room < 8 || bytes[0] != 1 || bytes[1] > 15) return {};
    const size_t length = 8 + 4u * bytes[1];
    if (length > room) return {};
    return std::vector<BYTE>(bytes, bytes + length);
}

std::vector<BYTE> TokenInformation(TOKEN_INFORMATION_CLASS kind) { return TokenInformation932(kind); }

std::vector<BYTE> UserSid() {
    const std::vector<BYTE> info = TokenInformation(TokenUser);
    if (info.size() < sizeof(TOKEN_USER)) return {};
    const auto* user = reinterpret_cast<const TOKEN_USER*>(info.data());
    const auto* start = static_cast<const BYTE*>(user->User.Sid);
    if (start < info.data() || start >= info.data() + info.size()) return {};
    return SidBytes(start, static_cast<size_t>(info.data() + info.size() - start));
}

constexpr int kTokenElevation = 20;  // TOKEN_INFORMATION_CLASS, Vista on

}  // namespace

bool RunsElevated() {
    if (!win932::WideSystem()) return false;
    // Vista on: the token says whether it is the elevated one.
    const std::vector<BYTE> elevation = TokenInformation(static_cast<TOKEN_INFORMATION_CLASS>(kTokenElevation));
    if (elevation.size() >= sizeof(DWORD)) {
        DWORD elevated = 0;
        std::memcpy(&elevated, elevation.data(), sizeof elevated);
        return elevated != 0;
    }
    // Before: a member of the Administrators has their rights.
    const std::vector<BYTE> info = TokenInformation(TokenGroups);
    if (info.size() < sizeof(DWORD)) return false;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(info.data());
    const size_t room = (info.size() - offsetof(TOKEN_GROUPS, Groups)) / sizeof(SID_AND_ATTRIBUTES);
    for (DWORD i = 0; i < groups->GroupCount && i < room; ++i) {
        const auto* sid = static_cast<const BYTE*>(groups->Groups[i].Sid);
        if (!(groups->Groups[i].Attributes & SE_GROUP_ENABLED)) continue;
        if (sid < info.data() || sid >= info.data() + info.size()) continue;
        if (SidBytes(sid, static_cast<size_t>(info.data() + info.size() - sid)) == Administrators()) return true;
    }
    return false;
}

PrivateFolderSecurity::PrivateFolderSecurity(bool admitUser) {
    if (!win932::WideSystem()) return;
    std::vector<std::vector<BYTE>> admitted = {LocalSystem(), Administrators()};
    if (admitUser) {
        std::vector<BYTE> user = UserSid();
        if (user.empty()) return;
        if (user != LocalSystem()) admitted.push_back(std::move(user));
    }
    // The access list by hand: its header, then one allowing entry per SID,
    // full rights, handed down to every file and folder made inside.
    acl_.assign(sizeof(ACL), 0);
    for (const std::vector<BYTE>& sid : admitted) {
        ACCESS_ALLOWED_ACE ace = {};
        ace.Header.AceType = ACCESS_ALLOWED_ACE_TYPE;
        ace.Header.AceFlags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
        ace.Header.AceSize = static_cast<WORD>(offsetof(ACCESS_ALLOWED_ACE, SidStart) + sid.size());
        ace.Mask = FILE_ALL_ACCESS;
        const auto* head = reinterpret_cast<const BYTE*>(&ace);
        acl_.insert(acl_.end(), head, head + offsetof(ACCESS_ALLOWED_ACE, SidStart));
        acl_.insert(acl_.end(), sid.begin(), sid.end());
    }
    ACL header = {};
    header.AclRevision = ACL_REVISION;
    header.AclSize = static_cast<WORD>(acl_.size());
    header.AceCount = static_cast<WORD>(admitted.size());
    std::memcpy(acl_.data(), &header, sizeof header);

    descriptor_.Revision = SECURITY_DESCRIPTOR_REVISION;
    descriptor_.Control = SE_DACL_PRESENT;
    // 2000 on would add what the parent hands down to a list given at
    // creation, unless the list says it is protected (NT 4.0 knows no such
    // bit, nor adds anything).
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionEx932(&version) && version.dwMajorVersion >= 5) descriptor_.Control |= SE_DACL_PROTECTED;
    descriptor_.Dacl = reinterpret_cast<ACL*>(acl_.data());
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
    built_ = true;
}
