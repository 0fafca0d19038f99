#pragma once
// Byte-string helpers. Texts are CP932 byte strings; positions and lengths are
// bytes counted from 1. None of these fails: each returns a text or a number.
#include <string>

std::string StrLeft(const std::string& text, int count);
std::string StrRight(const std::string& text, int count);
std::string StrMid(const std::string& text, int start);

// End flag: only its first character counts, "T" = beginning, "B" = end;
// anything else leaves the path as it is. A "\" that is the trail byte of a
// double-byte character is not a delimiter.
std::string AddPathDelimiter(const std::string& path, const std::string& endFlag);
std::string RemovePathDelimiter(const std::string& path, const std::string& endFlag);

// LCMapString with the Japanese locale, whatever the system's (on 95/98/Me the
// system default, which is Japanese there); the input unchanged on failure.
std::string MapString(const std::string& text, unsigned long mapFlags);
// MapString upper case: how names, paths and keys are compared without case.
// Byte lengths stay, so positions found in it hold in the text.
std::string Upper(const std::string& text);

// "*" and "?" against a name, one character each (never half of a
// double-byte character), without case, as the system matches a long name
// ("x.*" also takes "x"). Linear: a mismatch goes back to the last "*" only,
// so no pattern can make a match take long.
bool MatchesWildcard(const std::string& pattern, const std::string& name);

// The index-th field (from 1) of a delimited text; empty past the last field.
std::string GetField(const std::string& text, char delimiter, int index);

// The one place that splits a path after its last "\" or ":" (never inside a
// double-byte character): the file-name part and the folder part (the folder
// part keeps its trailing "\" or ":").
std::string ExtractFileName(const std::string& path);
std::string ExtractFilePath(const std::string& path);

// The path with the extension of its file-name part (from the last ".")
// replaced by ext (".pif"), or ext appended when the name has none.
std::string ChangeFileExt(const std::string& path, const std::string& ext);

// value in decimal, with leading zeros up to width digits (never cut): the
// fields of a date or a time. Formatting through the C library would link
// its whole printf, floating point included, for these.
std::string ZeroPadded(unsigned long value, int width);

// The drive part of a folder text: "C:" for 'C:\Apps\', "\\server\share"
// for a network path; empty when the text names neither.
std::string DrivePart(const std::string& folder);
