#pragma once
// Registry values as the runs write and read them. Every key is opened for
// one operation and closed again. Writes raise RegistryWriteError (Shell.h)
// with the message the program's general error handler shows: "ｷｰ <key> の
// 作成に失敗しました" when the key cannot be created, "'<name>' の設定に失敗
// しました" when a value cannot be written. Reads never raise.
#include <windows.h>

#include <string>

// Creates the key (and every missing level).
void CreateRegistryKey(HKEY hive, const std::string& subkey);

// Creates the key when needed and writes the value; an empty name is the
// key's default value. expand selects REG_EXPAND_SZ instead of REG_SZ.
void WriteRegistryString(HKEY hive, const std::string& subkey, const std::string& name, const std::string& value,
                         bool expand = false);
void WriteRegistryDword(HKEY hive, const std::string& subkey, const std::string& name, DWORD value);
void WriteRegistryBinary(HKEY hive, const std::string& subkey, const std::string& name, const std::string& bytes);

// The string value (REG_SZ or REG_EXPAND_SZ, unexpanded); false when the key
// or value is missing or holds another type.
bool ReadRegistryString(HKEY hive, const std::string& subkey, const std::string& name, std::string& value);
// True unless the key is not found (one that may not be opened is there).
bool RegistryKeyExists(HKEY hive, const std::string& subkey);
// True when the key exists and holds neither values (the default value
// included) nor subkeys.
bool RegistryKeyEmpty(HKEY hive, const std::string& subkey);
// Removes one value; true when it is gone afterwards.
bool DeleteRegistryValue(HKEY hive, const std::string& subkey, const std::string& name);

// Whether this process may have changed a file type or class registration:
// it wrote or deleted something under HKEY_CLASSES_ROOT, under a key path
// naming "Classes" (the machine's and the users' own class keys) or
// Explorer's "FileExts", or it loaded a library to register or unregister
// it. Only then is the shell told that associations changed (under Wine
// that notice starts a process of its own). Generous on purpose: a false
// alarm costs a notice, a missed one stale icons.
bool ClassesMayHaveChanged();
// The key is one of those (no case, never inside a double-byte character).
bool IsClassesKey(HKEY hive, const std::string& subkey);
// Notes a change of hive\subkey for the above; the writes and deletions of
// this module and of DeleteRegistryKey note theirs themselves.
void NoteRegistryChange(HKEY hive, const std::string& subkey);
// Notes a library's registration or unregistration.
void NoteClassesChanged();
