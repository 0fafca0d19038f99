#pragma once
// The version caption of the background window.
#include <string>

// "FileVersion" of the Japanese string table (041103a4) of the file's version
// resource; empty when the file has no resource or no such string.
std::string ReadFileVersionString(const std::string& path);

// a "." (digits of b then of c, at least two digits) "β1(Build:" d with at
// least four digits "/D3)", from "a.b.c.d" (missing or non-numeric parts 0):
// "1.5.0.1147" -> "1.50β1(Build:1147/D3)", "" -> "0.00β1(Build:0000/D3)".
std::string VersionText(const std::string& fileVersion);

// "Ravelin Setup Version" followed directly by the version text.
std::string VersionCaption(const std::string& fileVersion);
