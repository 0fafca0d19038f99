#pragma once
// What the uninstall trusts, and why: the install keeps the SHA-256 of the
// record text it wrote, of the program to run before uninstalling and of
// every library it registered, under a key of this program's own in
// HKEY_LOCAL_MACHINE (on the NT family only administrators write there; the
// record and the install folder may be writable by every user). The
// uninstall follows a record, runs a program or loads a library only when
// the bytes it uses still match. On 95/98/Me anyone may write anywhere: the
// digests there only catch accidental changes.
#include <functional>
#include <memory>
#include <string>
#include <vector>

class HeldFile;

// Under HKEY_LOCAL_MACHINE. Value names are canonical long paths (the
// registry compares them without case); record values hold one or more
// digests separated by ",", file values one.
inline constexpr const char* kRecordDigestsKey = "SOFTWARE\\Ravelin\\Setup\\RecordDigests";
inline constexpr const char* kFileDigestsKey = "SOFTWARE\\Ravelin\\Setup\\FileDigests";

// ---- The record ----

// Adds the digest of text beside those already kept for the record, so a
// run cut short before the save leaves the earlier record matching. False,
// with the Win32 code, when it cannot be written.
bool AddRecordDigest(const std::string& recordFile, const std::string& text, long& error);
// Keeps the digest of text alone (once the record holds it and the entry
// names it).
void KeepOnlyRecordDigest(const std::string& recordFile, const std::string& text);
// Drops the record's value once the record is gone; the key goes when
// nothing is left in it.
void DropRecordDigest(const std::string& recordFile);

enum class RecordCheck {
    Matches,   // the bytes are a text the install kept the digest of
    Changed,   // a digest is kept for the record, but not this one
    NoDigest,  // nothing kept: the record was not written by this installer
};
// Checks bytes (the record as the run read it, and nothing read again by
// name) against the digests kept for recordFile.
RecordCheck CheckRecordDigestOf(const std::string& recordFile, const std::string& bytes);
// The same for the file as it is now, read once through a held handle.
RecordCheck CheckRecordDigest(const std::string& recordFile, const std::string& file);

// ---- Files the uninstall runs or loads ----

// Keeps the digest of the held file under its canonical long path; false
// when it cannot be read or written.
bool StoreFileDigest(const HeldFile& file);
// True when a digest is kept for the held file's path and its bytes match.
bool FileDigestMatches(const HeldFile& file);
// Drops the file's value, when there is one.
void ForgetFileDigest(const std::string& path);
// The same for a path already in its canonical form (resolving it again
// would look for a file that may be gone).
void ForgetCanonicalFileDigest(const std::string& canonicalPath);

// The libraries the held library imports that lie in its own folder (the
// load takes them from there), and those they import in turn, each held
// (read sharing only) while the result lives. One that is there but cannot
// be held is in the list all the same, not held (it matches no digest).
std::vector<std::unique_ptr<HeldFile>> HoldImportsBeside(const HeldFile& library);
// Keeps the digest of each of them that vouchedFor accepts (all when it is
// empty), as StoreFileDigest does.
void StoreImportDigests(const HeldFile& library, const std::function<bool(const HeldFile&)>& vouchedFor = {});
// The first of the held imports whose bytes do not match a kept digest;
// null when all do (or there are none).
const HeldFile* ChangedImport(const std::vector<std::unique_ptr<HeldFile>>& imports);

// The record's [BeforeUnInstall] File value: split at its first comma into
// the program (relative to the install folder, a leading "\" dropped) and
// its parameters; the program in its canonical form, which is the one to
// check and to start.
struct BeforeProgram {
    std::string program;
    std::string parameters;
};
BeforeProgram BeforeUninstallProgram(const std::string& installFolder, const std::string& value);
