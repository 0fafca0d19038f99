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
