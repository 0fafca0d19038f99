#pragma once
// What lets an installation be found and removed later: the uninstaller
// UNRAVEL.EXE in the Windows folder, the program-ID list RVSET98.INI, and the
// Add/Remove Programs key.
#include <string>

class OpenedFile;

// Writes the running program's own file, held since start-up (image), to
// windowsFolder + "UNRAVEL.EXE" when the installed one is missing or older
// (real file times; an unknown time copies): never from a copy in a folder
// others may write. With a setup-only title a missing uninstaller is not
// created. 0, ERROR_SUCCESS_REBOOT_REQUIRED when the uninstaller is in use
// and is replaced at the next restart, or the Win32 code of the failed copy
// (2 when the program's file is not held).
unsigned long CopyUninstaller(OpenedFile* image, const std::string& windowsFolder, bool setupOnly);
// The copy itself, whole or not at all, from the held image; the same
// results.
unsigned long PlaceUninstallerCopy(OpenedFile* image, const std::string& target);

// [<id>] Folder=<install folder> in windowsFolder + "RVSET98.INI" when id is
// not empty; failures are not reported.
void WriteProgramID(const std::string& id, const std::string& installFolder, const std::string& windowsFolder);

// "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\" + keyName without
// the "\" around it, or empty when nothing else is left of the name (it
// would name the list itself).
std::string UninstallKeyPath(const std::string& keyName);

// The Add/Remove Programs values under HKEY_LOCAL_MACHINE\keyPath, in their
// fixed order: DisplayName (REG_SZ), UninstallString (REG_EXPAND_SZ:
// windowsFolder + "UNRAVEL.EXE" + ' "' + installFolder + 'UNSETUP.INI"'),
// DisplayIcon (REG_SZ), then the [Support] values of the script that are not
// empty, verbatim (HelpLink and Readme REG_EXPAND_SZ, the others REG_SZ); an
// empty one is skipped, so its value from an earlier installation under the
// same key stays. An empty keyPath writes nothing. Raises RegistryWriteError.
void WriteUninstallKey(const std::string& keyPath, const std::string& displayName, const std::string& windowsFolder,
                       const std::string& installFolder, const std::string& scriptFile);

// The values current Windows shows and deployment tools read, written after
// those of WriteUninstallKey: QuietUninstallString (the uninstall string +
// " /S", REG_EXPAND_SZ like it), InstallLocation (the install folder),
// InstallDate (today, yyyymmdd), EstimatedSize (KiB rounded up, REG_DWORD),
// NoModify and NoRepair (1, REG_DWORD). They go with the key. An empty
// keyPath writes nothing. Raises RegistryWriteError.
void WriteUninstallExtras(const std::string& keyPath, const std::string& windowsFolder,
                          const std::string& installFolder, unsigned long long installedBytes);

// yyyymmdd of a date.
std::string InstallDateText(unsigned year, unsigned month, unsigned day);

// Bytes as whole KiB, rounded up, at most the largest REG_DWORD.
unsigned long EstimatedSizeKiB(unsigned long long bytes);
