#pragma once
// Folders of the run's own that nobody else may enter: on the NT family a
// folder made with an access list of SYSTEM and the Administrators only
// (and the user too when the program runs without an administrator's full
// rights, so that it can still use the folder), which takes nothing from
// the folder it lies in. A standard user may create folders in
// C:\Windows\Temp, where a run as SYSTEM works, and in the TEMP an
// elevated run shares with its unelevated half; nothing of theirs may come
// in. Windows 95/98/Me keep no access lists: there the folder is an
// ordinary one.
#include <windows.h>

#include <string>
#include <vector>

// True on the NT family when the process has an administrator's full
// rights: elevated (Vista on), or a member of the Administrators (before).
bool RunsElevated();

// The security attributes for such a folder, built by hand (the functions
// that would build them are missing or stubs on 95/98/Me, and differ
// between NT 4.0 and 2000). get() is null on 95/98/Me, or when the user
// the folder must admit cannot be read from the process's token.
class PrivateFolderSecurity {
public:
    explicit PrivateFolderSecurity(bool admitUser);
    PrivateFolderSecurity(const PrivateFolderSecurity&) = delete;
    PrivateFolderSecurity& operator=(const PrivateFolderSecurity&) = delete;
    SECURITY_ATTRIBUTES* get() { return built_ ? &attributes_ : nullptr; }

private:
    bool built_ = false;
    std::vector<BYTE> acl_;
    SECURITY_DESCRIPTOR descriptor_ = {};
    SECURITY_ATTRIBUTES attributes_ = {};
};
