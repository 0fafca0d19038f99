#include "platform/OSVersion.h"

#include <windows.h>

#include "platform/Win932.h"

namespace {

// The four numbers the name table works on; -1 each when the call fails.
struct VersionNumbers {
    long platform = -1, major = -1, minor = -1, build = -1;
};

VersionNumbers QueryVersion() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;  // 148
    VersionNumbers v;
    if (!GetVersionEx932(&info)) return v;
    // The fields are taken as signed 32-bit values, so a Windows 95 family
    // build field with its high bit set would read negative, as the table expects.
    v.platform = static_cast<long>(info.dwPlatformId);
    v.major = static_cast<long>(info.dwMajorVersion);
    v.minor = static_cast<long>(info.dwMinorVersion);
    v.build = static_cast<long>(info.dwBuildNumber);
    return v;
}

// Windows 95 family: the build field carries the version in its high word
// on some releases and the bare build number on others, so both forms count.
std::string Windows9xName(long minor, long build) {
    if (minor >= 90 || build >= 73010104L || build == 3000) return "Windows Me";
    if (minor < 10) return minor >= 0 ? "Windows 95" : "Unknown Windows";
    if (build <= 2222) return build > 1998 ? "Windows 98<SE>" : "Windows 98";
    if (build >= 67766222L && build <= 67766445L) return "Windows 98";
    if (build >= 67766446L) return "Windows 98<SE>";
    return "Unknown Windows";
}

std::string WindowsNTName(long major, long minor) {
    switch (major) {
    case 4: return "Windows NT4.0";
    case 5:
        switch (minor) {
        case 0: return "Windows 2000";
        case 1: return "Windows XP";
        case 2: return "Windows 2003";
        default: return "Windows NT Technology";
        }
    case 6: return "Windows Vista";
    default: return "Unknown Windows";
    }
}

}  // namespace

std::string OSNameFor(long platform, long major, long minor, long build) {
    if (platform == VER_PLATFORM_WIN32_NT) return WindowsNTName(major, minor);
    if (platform == VER_PLATFORM_WIN32_WINDOWS) return Windows9xName(minor, build);
    return "Unknown Windows";
}

std::string GetOSKind() { return QueryVersion().platform == VER_PLATFORM_WIN32_NT ? "NT" : "notNT"; }

std::string GetOSName() {
    const VersionNumbers v = QueryVersion();
    return OSNameFor(v.platform, v.major, v.minor, v.build);
}
