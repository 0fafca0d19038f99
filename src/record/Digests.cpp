#include "record/Digests.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "app/SystemChanges.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "platform/Win932.h"
#include "sysops/HeldFile.h"
#include "sysops/PeImports.h"
#include "sysops/PathNames.h"
#include "sysops/Registry.h"
#include "sysops/Sha256.h"
#include "sysops/Shell.h"

namespace {

const char kSeparator = ',';

std::vector<std::string> Split(const std::string& list) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = list.find(kSeparator, start);
        const std::string item = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!item.empty()) items.push_back(item);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return items;
}

// The key and its empty parents up to ours go when nothing is left in
// them (a key with values but no subkeys would go with its values). A level
// already gone (a run cut short between two of them) is passed over.
void RemoveIfEmpty(const std::string& subkey) {
    for (std::string key = subkey; !key.empty() && key != "SOFTWARE";
         key = RemovePathDelimiter(ExtractFilePath(key), "B")) {
        if (!RegistryKeyExists(HKEY_LOCAL_MACHINE, key)) continue;
        if (!RegistryKeyEmpty(HKEY_LOCAL_MACHINE, key)) return;
        Changes().DeleteKey(HKEY_LOCAL_MACHINE, key);
    }
}

// The keys are looked at also when the value is gone already (a run cut
// short right after deleting it left them for the next): on the first drop
// of the process, and after every value dropped.
void DropValue(const char* key, const std::string& name) {
    static std::vector<std::string> looked;
    std::string ignored;
    bool dropped = false;
    if (!name.empty() && ReadRegistryString(HKEY_LOCAL_MACHINE, key, name, ignored)) {
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, key, name);
        dropped = true;
    }
    const bool first = std::find(looked.begin(), looked.end(), key) == looked.end();
    if (first) looked.push_back(key);
    if (dropped || first) RemoveIfEmpty(key);
}

}  // namespace

bool AddRecordDigest(const std::string& recordFile, const std::string& text, long& error) {
    error = 0;
    const std::string name = CanonicalPath(recordFile);
    if (name.empty()) {
        error = ERROR_BAD_PATHNAME;
        return false;
    }
    const std::string digest = Sha256Hex(text);
    std::string kept;
    ReadRegistryString(HKEY_LOCAL_MACHINE, kRecordDigestsKey, name, kept);
    for (const std::string& item : Split(kept))
        if (item == digest) return true;
    try {
        WriteRegistryString(HKEY_LOCAL_MACHINE, kRecordDigestsKey, name,
                            kept.empty() ? digest : kept + kSeparator + digest);
    } catch (const RegistryWriteError& e) {
        error = e.code();
        return false;
    }
    return true;
}

void KeepOnlyRecordDigest(const std::string& recordFile, const std::string& text) {
    const std::string name = CanonicalPath(recordFile);
    const std::string digest = Sha256Hex(text);
    std::string kept;
    if (name.empty() || (ReadRegistryString(HKEY_LOCAL_MACHINE, kRecordDigestsKey, name, kept) && kept == digest))
        return;
    try {
        WriteRegistryString(HKEY_LOCAL_MACHINE, kRecordDigestsKey, name, digest);
    } catch (const RegistryWriteError&) {
        // The earlier digests stay beside it: a record matching them is
        // gone already, since the new one took its place.
    }
}

void DropRecordDigest(const std::string& recordFile) { DropValue(kRecordDigestsKey, CanonicalPath(recordFile)); }

RecordCheck CheckRecordDigestOf(const std::string& recordFile, const std::string& bytes) {
    const std::string name = CanonicalPath(recordFile);
    std::string kept;
    if (name.empty() || !ReadRegistryString(HKEY_LOCAL_MACHINE, kRecordDigestsKey, name, kept) ||
        Split(kept).empty())
        return RecordCheck::NoDigest;
    const std::string digest = Sha256Hex(bytes);
    for (const std::string& item : Split(kept))
        if (item == digest) return RecordCheck::Matches;
    return RecordCheck::Changed;
}

RecordCheck CheckRecordDigest(const std::string& recordFile, const std::string& file) {
    std::string bytes;
    if (!ReadHeldFile(file, bytes)) {
        // Unreadable now: no bytes can match, but a missing digest stays the
        // stronger verdict.
        return CheckRecordDigestOf(recordFile, bytes) == RecordCheck::NoDigest ? RecordCheck::NoDigest
                                                                               : RecordCheck::Changed;
    }
    return CheckRecordDigestOf(recordFile, bytes);
}

bool StoreFileDigest(const HeldFile& file) {
    const std::string name = CanonicalPath(file.path());
    const std::string digest = file.Digest();
    if (name.empty() || digest.empty()) return false;
    try {
        WriteRegistryString(HKEY_LOCAL_MACHINE, kFileDigestsKey, name, digest);
    } catch (const RegistryWriteError&) {
        return false;
    }
    return true;
}

bool FileDigestMatches(const HeldFile& file) {
    const std::string name = CanonicalPath(file.path());
    std::string kept;
    if (name.empty() || !ReadRegistryString(HKEY_LOCAL_MACHINE, kFileDigestsKey, name, kept)) return false;
    const std::string digest = file.Digest();
    return !digest.empty() && digest == kept;
}

void ForgetFileDigest(const std::string& path) { DropValue(kFileDigestsKey, CanonicalPath(path)); }

void ForgetCanonicalFileDigest(const std::string& canonicalPath) { DropValue(kFileDigestsKey, canonicalPath); }

std::vector<std::unique_ptr<HeldFile>> HoldImportsBeside(const HeldFile& library) {
    constexpr size_t kMostHeld = 64;
    std::vector<std::unique_ptr<HeldFile>> held;
    const std::string folder = ExtractFilePath(library.path());
    std::vector<std::string> seen = {MapString(library.path(), LCMAP_UPPERCASE)};
    std::vector<const HeldFile*> pending = {&library};
    while (!pending.empty() && held.size() < kMostHeld) {
        const HeldFile* next = pending.back();
        pending.pop_back();
        if (!next->file()) continue;
        for (const std::string& name : ImportedLibraries(*next->file())) {
            // A name with a folder in it is no neighbour.
            if (name.find_first_of("\\/:") != std::string::npos || name == "." || name == "..") continue;
            const std::string path = folder + name;
            const std::string key = MapString(path, LCMAP_UPPERCASE);
            if (std::find(seen.begin(), seen.end(), key) != seen.end() || !FileExists(path)) continue;
            seen.push_back(key);
            held.push_back(std::make_unique<HeldFile>(path));
            pending.push_back(held.back().get());
            if (held.size() >= kMostHeld) break;
        }
    }
    return held;
}

void StoreImportDigests(const HeldFile& library, const std::function<bool(const HeldFile&)>& vouchedFor) {
    for (const auto& import : HoldImportsBeside(library))
        if (import->ok() && (!vouchedFor || vouchedFor(*import))) StoreFileDigest(*import);
}

const HeldFile* ChangedImport(const std::vector<std::unique_ptr<HeldFile>>& imports) {
    for (const auto& import : imports)
        if (!FileDigestMatches(*import)) return import.get();
    return nullptr;
}

BeforeProgram BeforeUninstallProgram(const std::string& installFolder, const std::string& value) {
    BeforeProgram before;
    std::string file = value;
    const int comma = IPos(",", value);
    if (comma > 0) {
        file = StrLeft(value, comma - 1);
        before.parameters = StrMid(value, comma + 1);
    }
    before.program = CanonicalPath(AddPathDelimiter(installFolder, "B") + RemovePathDelimiter(file, "T"));
    return before;
}
