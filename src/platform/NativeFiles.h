#pragma once
// The native calls of the NT family that reach a file through a handle the
// caller already holds (its attributes, its links, its fate, the names in a
// held folder), and registry key trees by their UTF-16 names. NTDLL's
// functions are not part of the Win32 interface: each is looked up by name,
// and where it is missing the call fails the way the floor file says.
#include <windows.h>

#include <string>
#include <vector>

namespace native {

// The attributes and the number of names of the file behind the handle;
// 0 or a Win32 error code.
unsigned long Attributes(HANDLE file, DWORD& attributes);
unsigned long Links(HANDLE file, DWORD& links);
// Sets the held file's attributes (0 means normal), its times untouched.
unsigned long SetAttributes(HANDLE file, DWORD attributes);
// Deletes the held file when its last handle closes. A read-only file with
// one name loses the attribute first; one with more names (a hard link to
// someone's file) is refused with ERROR_ACCESS_DENIED and keeps it.
unsigned long MarkForDeletion(HANDLE file);

struct HeldEntry {
    std::string name;  // code page 932
    DWORD attributes = 0;
};
// The names in the folder behind the handle, without "." and ".."; a name
// with no code page 932 form is left out. Empty when the listing fails.
std::vector<HeldEntry> List(HANDLE folder);

// Deletes the key and every key below it, walked by their UTF-16 names
// (every name a key can have, never through code page 932). A link key goes
// itself, never the key it points at. Best effort: what cannot go stays.
void DeleteKeyTree(HKEY parent, const std::wstring& name);

}  // namespace native
