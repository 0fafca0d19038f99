#pragma once
// Texts of the wizard pages that depend only on the install and uninstall
// words and a few facts, so they can be checked without a window.
#include <cstdint>
#include <string>

// Welcome text of the title page for program name P and install word S; on
// the NT family a note recommending administrator rights is appended.
std::string TitlePageMessage(const std::string& programName, const std::string& setupWord,
                             const std::string& osKind);

// "1,234,567,890": the number grouped by thousands ("#,##0").
std::string FormatThousands(std::int64_t value);

// Caption of the folder group: the free bytes of the folder's drive, or why
// they are not known.
enum class FreeSpaceState { Known, QueryFailed, NoDrive };
std::string FreeSpaceCaption(FreeSpaceState state, std::int64_t freeBytes);

// The question asked before the wizard closes while still in progress.
std::string CloseQuestion(const std::string& setupWord, const std::string& unsetupWord);

// The refusal shown when the pre-install checker does not allow the install.
std::string CheckerRefusal(const std::string& setupWord);
