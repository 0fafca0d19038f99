#pragma once
// Searching CP932 text without ever matching at a trail byte.
#include <string>

// True when the byte is a lead byte of code page 932, whatever the system's.
bool IsLeadByte(unsigned char byte);

// 1-based byte position of the first match of needle in haystack, 0 when none
// or when the needle is empty. Matches start only on character boundaries.
int MBPos(const std::string& needle, const std::string& haystack);

// True when position pos (1-based) of text holds a "\" that is not the trail
// byte of a double-byte character.
bool IsPathDelimiterAt(const std::string& text, int pos);
