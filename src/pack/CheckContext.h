#pragma once
// What the parts of the script checker share: the script as the program
// reads it, its lines, the medium, this machine's folders, and the findings.
#include <string>
#include <vector>

#include "app/ProfileText.h"
#include "app/SetupState.h"
#include "pack/Medium.h"
#include "pack/ScriptCheck.h"

struct CheckContext {
    std::string scriptPath;
    std::string folder;  // ends with "\"
    ProfileText script;
    std::vector<ProfileText::Line> lines;
    std::vector<CopyItem> copies;
    // This machine's folders, the install folder the default one (or one
    // under Program Files when that is no usable path).
    SetupState machine;
    bool installFolderUsable = false;
    std::vector<Finding> findings;

    bool Read(const char* section, const char* key, std::string& value) const {
        return script.Find(section, key, value);
    }
    // The key's line, else its section's, else 1.
    size_t LineFor(const char* section, const char* key) const;
    void Error(size_t line, const char* code, const std::string& text) { findings.push_back({line, true, code, text}); }
    void Warning(size_t line, const char* code, const std::string& text) {
        findings.push_back({line, false, code, text});
    }
};

// Shared helpers.
// ASCII letters folded, as the profile rules compare names.
std::string FoldName(const std::string& name);
bool IsComment(const ProfileText::Line& line);
// The closest of the candidates by edit distance, ignoring case; empty when
// none is within the distance (by default a third of the word's length, at
// least 1): too far to be a likely misspelling.
std::string Nearest(const std::string& word, const std::vector<std::string>& candidates, size_t within = 0);
// "n 行目" for a line number.
std::string LineText(size_t line);

void CheckStructure(CheckContext& context);
void CheckValues(CheckContext& context);
void CheckMedium(CheckContext& context);
void CheckLater(CheckContext& context);
