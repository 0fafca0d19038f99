#pragma once
// The registry keys the uninstall run refuses to delete however the record
// reads: keys whose tree holds other programs', other users' or the
// system's data. Decisions only.
#include <string>
#include <vector>

// The key path without "\" at either end (as the registry functions take it).
std::string TrimKeyPath(const std::string& keyPath);

// Why a [DeleteRegistry] key must stay; None when it may go.
enum class KeyRefusal {
    None,
    Shared,          // a first-level key, or one Windows and every program share
    UninstallEntry,  // an Add/Remove Programs entry (only the registration stage removes those)
    OtherUser,       // below HKEY_USERS, but not the user the run belongs to
    WindowsClass,    // a class or file type Windows itself relies on
    NotTrusted,      // a class of the package's own, but the record is not known to be the install's
    OtherClass,      // a class a file type outside the record's associations names, or a URL protocol
};

// The decision for root macro + key path (the root macros of DeleteRegistryKey;
// anything but "(Class)", "(Local)" and "(Users)" is the current user).
// Under HKEY_LOCAL_MACHINE only SOFTWARE may be touched. A class (below
// "(Class)" or a SOFTWARE\Classes twin) may go only whole and on the first
// level, or below CLSID, Interface, TypeLib or AppID, and only when
// recordTrusted; never one starting with "." nor one Windows relies on.
// userSid: the string SID of the user the run belongs to (CurrentUserSid).
// Under SOFTWARE\Microsoft nothing goes; under HKEY_LOCAL_MACHINE nothing
// less than two levels below SOFTWARE (a vendor's key holds all its
// programs). A first-level class that a file type (".ext" of
// HKEY_CLASSES_ROOT) names goes only when ownExtensions (the record's
// [RestoreRelate] extensions, without ".") holds that extension; one that
// is a URL protocol never: both are read from the registry, and only for a
// class that would otherwise go.
KeyRefusal RefuseRegistryKey(const std::string& rootMacro, const std::string& keyPath, bool recordTrusted,
                             const std::string& userSid, const std::vector<std::string>& ownExtensions = {});

// "S-1-5-21-..." of the user this process runs as; empty where there are no
// users (Windows 95/98/Me) or the token cannot be read.
std::string CurrentUserSid();

// True when the path names one entry strictly below
// SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\ (any case), with a
// name that is not empty: the only kind of key the registration stage
// deletes.
bool IsUninstallEntryKey(const std::string& keyPath);
