#include "pack/ScriptCheck.h"

#include <windows.h>

#include <algorithm>

#include "app/MBUtils.h"
#include "app/PathMacros.h"
#include "app/ScriptKeys.h"
#include "app/uStrOp.h"
#include "install/ScriptEntries.h"
#include "pack/CheckContext.h"
#include "platform/Handles.h"
#include "platform/OSVersion.h"
#include "platform/Win932.h"
#include "session/SessionStart.h"

namespace {

std::string DriveRoot(const std::string& folder) { return folder.size() >= 2 ? folder.substr(0, 2) + "\\" : ""; }

// The folders an install on this machine would use, with the script's
// default install folder as "(App)".
void ResolveMachine(CheckContext& c) {
    SetupState& m = c.machine;
    m.OSKind = GetOSKind();
    m.OSName = GetOSName();
    m.SourceFolder = c.folder;
    m.TempFolder = QueryTempPath();
    std::string fatal;
    ApplyFolderRules(GatherFolderFacts(), m, fatal);
    std::string folder;
    if (!c.Read(Script::DefaultFolder::kSection, Script::DefaultFolder::kFolder, folder))
        folder = Script::DefaultFolder::kFolderDefault;
    m.InstallDrive.clear();  // "(Set)" is nothing before the run
    const std::string install = CanonicalInstallFolder(ExpandPathMacros(folder, m));
    c.installFolderUsable = !install.empty();
    m.InstallFolder = c.installFolderUsable ? install : AddPathDelimiter(m.ProgramFilesFolder, "B") + "RVPACK\\";
    m.InstallDrive = DriveRoot(m.InstallFolder);
}

size_t Distance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

bool CheckResult::HasErrors() const {
    return std::any_of(findings.begin(), findings.end(), [](const Finding& f) { return f.error; });
}

size_t CheckContext::LineFor(const char* section, const char* key) const {
    if (const size_t line = script.LineOf(section, key)) return line;
    const std::string folded = FoldName(section);
    for (const ProfileText::Line& line : lines)
        if (line.kind == ProfileText::Line::Header && line.counts && FoldName(line.name) == folded) return line.number;
    return 1;
}

std::string FoldName(const std::string& name) {
    std::string folded = name;
    for (size_t i = 0; i < folded.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(folded[i]);
        if (IsLeadByte(c)) {
            ++i;
        } else if (c >= 'a' && c <= 'z') {
            folded[i] = static_cast<char>(c - 'a' + 'A');
        }
    }
    return folded;
}

bool IsComment(const ProfileText::Line& line) {
    return line.kind != ProfileText::Line::Header && !line.text.empty() && (line.text[0] == ';' || line.text[0] == '#');
}

std::string Nearest(const std::string& word, const std::vector<std::string>& candidates, size_t within) {
    const std::string folded = FoldName(word);
    std::string best;
    size_t bestDistance = (within ? within : std::max<size_t>(1, folded.size() / 3)) + 1;
    for (const std::string& candidate : candidates) {
        const size_t d = Distance(folded, FoldName(candidate));
        if (d < bestDistance) {
            bestDistance = d;
            best = candidate;
        }
    }
    return best;
}

std::string LineText(size_t line) { return std::to_string(line) + " 行目"; }

CheckResult CheckScript(const std::string& scriptPath) {
    CheckResult result;
    std::string raw;
    if (!ReadWholeFile(scriptPath, raw)) return result;
    result.scriptFound = true;
    bool unicode = false;
    CheckContext c;
    c.scriptPath = scriptPath;
    c.folder = ExtractFilePath(GetFullPathName932(scriptPath));
    c.script = ProfileText(ProfileBytesFromFile(raw, unicode));
    c.lines = c.script.Lines();
    c.copies = ReadCopyItems(c.script);
    ResolveMachine(c);
    CheckStructure(c);
    CheckValues(c);
    CheckMedium(c);
    CheckLater(c);
    std::stable_sort(c.findings.begin(), c.findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    result.findings = std::move(c.findings);
    return result;
}

std::string FormatFinding(const std::string& shownPath, const Finding& finding) {
    return shownPath + "(" + std::to_string(finding.line) + "): " + (finding.error ? "error " : "warning ") +
           finding.code + ": " + finding.text;
}
