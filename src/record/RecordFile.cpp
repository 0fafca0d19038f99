// The record on disk: the merge of an earlier record and the save of a new
// one.
#include <windows.h>

#include "app/RunView.h"
#include "app/ScriptKeys.h"
#include "app/SetupState.h"
#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "app/SystemChanges.h"
#include "record/Digests.h"
#include "record/RecordKeys.h"
#include "record/UninstallRecord.h"
#include "sysops/Deletion.h"
#include "sysops/HeldFile.h"

namespace {

constexpr const char* kWarningCaption = "警告";
constexpr unsigned kWarningFlags = MB_ICONEXCLAMATION;  // 48

unsigned long LastErrorOr(unsigned long fallback) {
    const DWORD error = GetLastError();
    return error ? error : fallback;
}

// Appends prefix1, prefix2, ... of the section up to the first empty value,
// each followed by "|".
void ReadNumbered(const std::string& file, const char* section, const char* prefix, std::string& list) {
    for (int n = 1;; ++n) {
        const std::string value = IniRead(section, Script::NumberedKey(prefix, n), "", file);
        if (value.empty()) return;
        list += value;
        list += '|';
    }
}

// Writes the whole text into the file (disposition CREATE_ALWAYS or
// CREATE_NEW) and flushes it; 0 or the Win32 code. A file that could not be
// written whole does not stay behind.
unsigned long WriteWholeFile(const std::string& path, const std::string& text, DWORD disposition) {
    unsigned long error = 0;
    {
        // A name already there (left by a save cut short, or a hard link to
        // someone's file planted in its place) is let go, never written
        // through.
        unsigned long opened = 0;
        OpenedFilePtr file = disposition == CREATE_NEW
                                 ? Changes().Open(path, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL)
                                 : CreateFreshFile(path, 0, FILE_ATTRIBUTE_NORMAL, opened);
        if (!file) return opened ? opened : LastErrorOr(ERROR_GEN_FAILURE);
        DWORD written = 0;
        if (!file->Write(text.data(), static_cast<DWORD>(text.size()), written))
            error = LastErrorOr(ERROR_WRITE_FAULT);
        else if (written != text.size())
            error = ERROR_HANDLE_DISK_FULL;
        else if (!file->Flush())
            error = LastErrorOr(ERROR_WRITE_FAULT);
    }
    if (error) DeletePath(path);
    return error;
}

// A new file in the folder holding the text; its path, or empty with error
// set.
// The name is always the same: one left by a save that was cut short (power
// loss, task manager) is taken over by the next save instead of staying in
// the install folder for good.
std::string WriteTemporary(const std::string& folder, const std::string& text, unsigned long& error) {
    const std::string name = folder + RecordFiles::kRecordTemporary;
    error = WriteWholeFile(name, text, CREATE_ALWAYS);
    return error ? std::string() : name;
}

// Puts the written temporary file in the record's place. A write-protected
// record is left as it is on both families (DeletePath would clear the
// attribute).
unsigned long PutRecordInPlace(const std::string& temporary, const std::string& record) {
    const DWORD attrs = Changes().Attributes(record);
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
    return PutInPlace(temporary, record);
}

// The first UNTMP<n>.INI of the folder that does not exist yet.
std::string FreeFallbackPath(const std::string& folder) {
    for (int n = 1;; ++n) {
        const std::string path = folder + RecordFiles::kFallbackStem + std::to_string(n) + RecordFiles::kFallbackExt;
        if (Changes().Attributes(path) == INVALID_FILE_ATTRIBUTES) return path;
    }
}

}  // namespace

bool MergePreviousRecord(const std::string& installFolder, const std::string& workFolder, RecordLists& previous,
                         RestoreTable& table) {
    const std::string record = AddPathDelimiter(installFolder, "B") + RecordFiles::kRecord;
    const std::string copy = AddPathDelimiter(workFolder, "B") + RecordFiles::kMergeCopy;
    // Read once, through a handle nobody could write meanwhile: what is
    // checked is what is merged, whatever the file holds afterwards.
    std::string bytes;
    if (!ReadHeldFile(record, bytes)) return true;
    // Entries not checked would be signed anew as this install's own.
    if (CheckRecordDigestOf(record, bytes) != RecordCheck::Matches) return false;
    DeletePath(copy);
    WriteNewFile(copy, bytes);
    IniKeep(copy, bytes);
    const std::string& source = copy;

    for (int i = 1; i <= Script::RestoreRelate::kCount; ++i) {
        const std::string value =
            IniRead(Script::RestoreRelate::kSection, Script::NumberedKey(Script::RestoreRelate::kKeyPrefix, i), "",
                    source);
        if (value.empty()) continue;
        // The slot already there holds the value from before the first
        // installation; it must not be replaced.
        if (RestoreTableHas(table, GetField(value, ',', 1))) continue;
        RestoreTableAdd(table, value);
    }
    ReadNumbered(copy, Script::DeleteFolder::kSection, Script::DeleteFolder::kFolderPrefix, previous.folders);
    ReadNumbered(copy, Script::DeleteFiles::kSection, Script::DeleteFiles::kFilePrefix, previous.files);
    ReadNumbered(copy, Script::DeleteShortCut::kSection, Script::DeleteShortCut::kFilePrefix, previous.shortcuts);
    ReadNumbered(copy, Script::DeleteRegistry::kSection, Script::DeleteRegistry::kKeyPrefix, previous.registry);
    ReadNumbered(copy, Script::AddDeleteFile::kSection, Script::AddDeleteFile::kFilePrefix, previous.extraFiles);
    return true;
}

RecordSaveResult SaveRecord(const std::string& installFolder, const std::string& text, RunView& view) {
    const std::string folder = AddPathDelimiter(installFolder, "B");
    const std::string record = folder + RecordFiles::kRecord;
    const std::string& word = State().UnSetupString;
    RecordSaveResult result;

    const ChangeSaid said([&] { return "アンインストール記録 " + record + " (" + std::to_string(text.size()) + " バイト)"; });
    unsigned long error = 0;
    const std::string temporary = WriteTemporary(folder, text, error);
    if (!temporary.empty()) {
        error = PutRecordInPlace(temporary, record);
        if (error == 0) {
            result.saved = true;
            return result;
        }
    }

    if (FileExists(record)) {
        view.Ask({"既存の「UNSETUP.INI」が削除できませんでした。\r\n" + word +
                      "が正常に行われない可能性があります。",
                  kWarningCaption, kWarningFlags, IDOK});
    }
    const std::string fallback = FreeFallbackPath(folder);
    unsigned long fallbackError = ERROR_GEN_FAILURE;
    if (!temporary.empty() && Changes().Move(temporary, fallback, 0)) fallbackError = 0;
    if (fallbackError) fallbackError = WriteWholeFile(fallback, text, CREATE_NEW);
    if (!temporary.empty() && FileExists(temporary)) DeletePath(temporary);
    if (fallbackError) {
        result.error = error ? error : fallbackError;
        return result;
    }
    result.fallbackPath = fallback;
    view.Ask({"インストールフォルダに仮ファイル" + ExtractFileName(fallback) + "を作成しました\r\n" +
                  "上記ファイルを「UNSETUP.INI」にリネームしてください。\r\n" +
                  "リネームを行わないと、正常に" + word + "できません。",
              kWarningCaption, kWarningFlags, IDOK});
    return result;
}

std::string RecordSaveFailureText(unsigned long error, const std::string& unSetupWord) {
    return "インストールフォルダに「UNSETUP.INI」を保存できませんでした。\r\n" +
           SysErrorText(error) + "このままでは正常に" + unSetupWord + "できません。";
}
