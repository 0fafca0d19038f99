// The record text: restore table, the walk that defines a numbered section,
// and the builder that gives the same bytes through an index.
#include "record/UninstallRecord.h"

#include <windows.h>

#include <unordered_map>
#include <vector>

#include "app/MBUtils.h"
#include "app/ScriptKeys.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "record/EntryFlags.h"
#include "record/RecordKeys.h"

namespace {

constexpr const char* kCrLf = "\r\n";

std::string FirstField(const std::string& text) { return GetField(text, ',', 1); }

std::string Header(const char* section) { return std::string("[") + section + "]"; }

// True when the entry's flag field (everything after its first ",") holds the
// shared-file marker. Only the flags count: a path written with "/" such as
// 'C:/sys/a.dll' is not shared.
bool CarriesSharedMark(const std::string& entry) {
    const size_t comma = entry.find(',');
    return comma != std::string::npos && EntryFlags::Read(entry.substr(comma + 1)).shared;
}

// Calls take(entry) for every entry of a list in order. An entry ends at the
// next "|" that is not the trail byte of a double-byte character ("ポ" ends
// in 0x7C); a last entry without "|" counts too. Empty entries are skipped:
// written as an empty numbered value they would end the reader's list.
template <typename Take>
void ForEachEntry(const std::string& list, Take&& take) {
    size_t start = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(list[i]);
        if (IsLeadByte(c)) {
            ++i;
            continue;
        }
        if (c != '|') continue;
        if (i > start) take(list.substr(start, i - start));
        start = i + 1;
    }
    if (start < list.size()) take(list.substr(start));
}

// One numbered section in the making: entries in order, and an index from
// each entry's path key to its place, so that finding a duplicate costs one
// look-up instead of a walk over the section.
class NumberedSection {
public:
    // Adds the entry unless its path is already there. With carryShared, a
    // duplicate that carries "/S" puts the marker onto the entry that is
    // there (which may then hold it twice, as the reader allows).
    void Add(const std::string& entry, bool carryShared) {
        const auto [place, added] = index_.try_emplace(CaseKey(FirstField(entry)), values_.size());
        if (added) {
            values_.push_back(entry);
            return;
        }
        if (!carryShared || !CarriesSharedMark(entry)) return;
        std::string& existing = values_[place->second];
        existing += existing.find(',') == std::string::npos ? ",/S" : "/S";
    }

    void AddAll(const std::string& fresh, const std::string& previous, bool carryShared) {
        ForEachEntry(fresh, [&](const std::string& entry) { Add(entry, carryShared); });
        ForEachEntry(previous, [&](const std::string& entry) { Add(entry, carryShared); });
    }

    void AppendTo(std::string& text, const char* section, const char* prefix) const {
        text += Header(section);
        text += kCrLf;
        for (size_t i = 0; i < values_.size(); ++i) {
            text += prefix;
            text += std::to_string(i + 1);
            text += '=';
            text += values_[i];
            text += kCrLf;
        }
    }

private:
    std::vector<std::string> values_;
    std::unordered_map<std::string, size_t> index_;
};

void AppendLine(std::string& text, const std::string& line) {
    text += line;
    text += kCrLf;
}

void AppendListSection(std::string& text, const char* section, const char* prefix, const std::string& fresh,
                       const std::string& previous, bool carryShared) {
    NumberedSection numbered;
    numbered.AddAll(fresh, previous, carryShared);
    numbered.AppendTo(text, section, prefix);
    text += kCrLf;
}

// Key=value, only when the value is not empty.
void AppendIfSet(std::string& text, const char* key, const std::string& value) {
    if (!value.empty()) AppendLine(text, std::string(key) + "=" + value);
}

// Byte offset just past the line "[section]" (whole line, without regard to
// case), or npos. A value that merely contains the header text, such as a
// title 'My [DeleteFolder] App', never counts as the section.
size_t FindSectionBody(const std::string& text, const std::string& section) {
    const std::string header = CaseKey(Header(section.c_str()));
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(kCrLf, start);
        const bool complete = end != std::string::npos;
        if (!complete) end = text.size();
        if (end - start == header.size() && CaseKey(text.substr(start, end - start)) == header)
            return complete ? end + 2 : end;
        if (!complete) break;
        start = end + 2;
    }
    return std::string::npos;
}

}  // namespace

std::string CaseKey(const std::string& text) { return MapString(text, LCMAP_UPPERCASE); }

bool RestoreTableHas(const RestoreTable& table, const std::string& extension) {
    const std::string key = CaseKey(extension);
    for (const std::string& slot : table)
        if (!slot.empty() && CaseKey(FirstField(slot)) == key) return true;
    return false;
}

bool RestoreTableAdd(RestoreTable& table, const std::string& value) {
    if (value.empty()) return false;
    for (std::string& slot : table) {
        if (!slot.empty()) continue;
        slot = value;
        return true;
    }
    return false;
}

std::string AddRecordEntry(const std::string& entry, const std::string& section, const std::string& prefix,
                           bool keepDuplicate, const std::string& recordText) {
    const std::string pathKey = CaseKey(FirstField(entry));
    size_t pos = FindSectionBody(recordText, section);
    int n = 1;
    if (pos != std::string::npos) {
        // Lines of the section are prefix<n>=value with n counting from 1;
        // the first line that is not (the blank line after the section, or
        // the end of the text) gives the free number.
        for (;; ++n) {
            const size_t end = recordText.find(kCrLf, pos);
            if (end == std::string::npos) break;
            const std::string line = recordText.substr(pos, end - pos);
            if (IPos(prefix + std::to_string(n), line) == 0) break;
            const size_t equals = line.find('=');
            const std::string value = equals == std::string::npos ? std::string() : line.substr(equals + 1);
            if (CaseKey(FirstField(value)) == pathKey) return keepDuplicate ? "[!!]" + line : std::string();
            pos = end + 2;
        }
    }
    return prefix + std::to_string(n) + "=" + entry + kCrLf;
}

std::string BuildRecordText(const RecordContent& content, const std::function<void(int dots)>& progress) {
    const auto step = [&](int dots) {
        if (progress) progress(dots);
    };
    std::string text;
    const auto listBytes = [](const RecordLists& l) {
        return l.folders.size() + l.files.size() + l.shortcuts.size() + l.registry.size() + l.extraFiles.size();
    };
    // Every entry gains at most a key and a line end.
    text.reserve(2048 + 2 * (listBytes(content.fresh) + listBytes(content.previous)));

    const std::string info = Script::Information::kMessagePrefix;
    AppendLine(text, Header(Script::Information::kSection));
    AppendLine(text, info + "1=Ravelin Setup UnSetup(UnInstall) Initialize File");
    AppendLine(text, info + "2=！！！　警告　！！！");
    AppendLine(text, info + "3=このファイルをエディタなどで書き換えたり、削除しないでください。");
    AppendLine(text, info + "4=書き換えた場合、" + content.unSetupString + "動作の保証はできません。");
    text += kCrLf;
    AppendLine(text, Header(Script::Title::kSection));
    AppendLine(text, std::string(Script::Title::kUnSetup) + "=" + content.unSetupTitle);
    text += kCrLf;
    AppendLine(text, Header(Script::SetupFolder::kSection));
    AppendLine(text, std::string(Script::SetupFolder::kFolder) + "=" + content.installFolder);
    text += kCrLf;
    step(1);

    const RecordLists& fresh = content.fresh;
    const RecordLists& previous = content.previous;
    AppendListSection(text, Script::DeleteFolder::kSection, Script::DeleteFolder::kFolderPrefix, fresh.folders,
                      previous.folders, false);
    step(2);
    AppendListSection(text, Script::DeleteFiles::kSection, Script::DeleteFiles::kFilePrefix, fresh.files,
                      previous.files, true);
    step(3);
    AppendListSection(text, Script::DeleteShortCut::kSection, Script::DeleteShortCut::kFilePrefix, fresh.shortcuts,
                      previous.shortcuts, false);
    step(4);
    AppendListSection(text, Script::DeleteRegistry::kSection, Script::DeleteRegistry::kKeyPrefix, fresh.registry,
                      previous.registry, false);
    step(5);
    AppendListSection(text, Script::AddDeleteFile::kSection, Script::AddDeleteFile::kFilePrefix, fresh.extraFiles,
                      previous.extraFiles, false);
    step(6);

    // Slots fill from the front, so the used ones are 1 to n; numbering the
    // used slots keeps the keys gap-free even for a table made otherwise.
    AppendLine(text, Header(Script::RestoreRelate::kSection));
    int used = 0;
    for (const std::string& slot : content.restore)
        if (!slot.empty()) AppendLine(text, Script::NumberedKey(Script::RestoreRelate::kKeyPrefix, ++used) + "=" + slot);
    text += kCrLf;
    step(7);

    AppendLine(text, Header(Script::UnSetupOption::kSection));
    AppendIfSet(text, Script::UnSetupOption::kCheckBox, content.unSetupOption);
    AppendIfSet(text, Script::UnSetupOption::kCheckBox3, content.checkBox3);
    AppendIfSet(text, Script::UnSetupOption::kCheckBox4, content.checkBox4);
    text += kCrLf;
    AppendLine(text, Header(Script::BeforeUnInstall::kSection));
    AppendIfSet(text, Script::BeforeUnInstall::kReadmeFile, content.readmeFile);
    AppendIfSet(text, Script::BeforeUnInstall::kFile, content.beforeFile);
    text += kCrLf;
    AppendLine(text, Header(Script::Extend::kSection));
    AppendLine(text, std::string(Script::Extend::kSetupString) + "=" + content.setupString);
    AppendLine(text, std::string(Script::Extend::kUnSetupString) + "=" + content.unSetupString);
    text += kCrLf;
    AppendLine(text, Header(Script::UnSetupRegistryKey::kSection));
    AppendLine(text, std::string(Script::UnSetupRegistryKey::kKey) + "=" + content.registryKey);
    text += kCrLf;
    AppendLine(text, Header(Script::ProgramID::kSection));
    AppendLine(text, std::string(Script::ProgramID::kID) + "=" + content.programID);
    step(8);
    return text;
}

bool IsSetupOnlyTitle(const std::string& unSetupTitle) {
    return IPos(Script::Values::kSetupOnly, unSetupTitle) != 0;
}
