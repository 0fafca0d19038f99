#pragma once
// Fonts for Japanese text: Shift-JIS charset, with the first installed face
// of a list (the usual Windows faces first, then those Wine substitutes).
#include <windows.h>

// pixelHeight is the character height (negative lfHeight). The caller owns
// the font. Never null: falls back to the default GUI font's face.
HFONT CreateGothicFont(int pixelHeight, bool italic);
HFONT CreateMinchoFont(int pixelHeight, bool italic);
