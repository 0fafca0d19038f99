#include "app/uUtils.h"

#include "app/SetupState.h"
#include "app/SystemChanges.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "app/MBUtils.h"
#include "app/RunLog.h"
#include "app/uStrOp.h"
#include "platform/Handles.h"
#include "platform/SystemLibraries.h"
#include "platform/Win932.h"

namespace {
MsgBoxResponder& Responder() {
    static MsgBoxResponder responder;
    return responder;
}
HWND g_owner = nullptr;
}  // namespace

int IPos(const std::string& needle, const std::string& haystack) {
    return MBPos(MapString(needle, LCMAP_UPPERCASE), MapString(haystack, LCMAP_UPPERCASE));
}

int MsgBox(const Question& question) {
    if (Responder()) return Responder()(question);
    HWND owner = GetActiveWindow();
    if (!owner) owner = g_owner;
    const int answer = MessageBox932(owner, question.text, question.caption, question.flags);
    // Every box a person answered is in the /LOG file, whichever layer asked.
    LogQuestion(question.caption, question.text, AnswerWord(answer), "利用者");
    return answer;
}

int MsgBox(const std::string& text, const std::string& caption, unsigned flags) {
    return MsgBox({text, caption, flags, IDOK});
}

void SetMsgBoxResponder(MsgBoxResponder responder) { Responder() = std::move(responder); }

namespace {

// The copy moves a file in pieces of this size through one buffer kept for
// the process: few calls for a large file, little memory for any.
constexpr DWORD kCopyPiece = 1u << 20;

std::vector<char>& CopyBuffer(size_t size) {
    static std::vector<char> buffer;
    if (buffer.size() < size) buffer.resize(size);
    return buffer;
}

unsigned long LastErrorOr(unsigned long fallback) {
    const DWORD error = GetLastError();
    return error ? error : fallback;
}

// Source to destination through the two handles; 0 or the code.
unsigned long CopyContents(OpenedFile& in, OpenedFile& out, unsigned long long size,
                           const std::function<void(const char*, unsigned long)>& sink) {
    const DWORD piece = static_cast<DWORD>(size < kCopyPiece ? size : kCopyPiece);
    if (piece == 0) return 0;
    std::vector<char>& buffer = CopyBuffer(piece);
    for (;;) {
        DWORD got = 0, put = 0;
        if (!in.Read(buffer.data(), piece, got)) return LastErrorOr(ERROR_READ_FAULT);
        if (got == 0) return 0;
        if (!out.Write(buffer.data(), got, put)) return LastErrorOr(ERROR_WRITE_FAULT);
        if (put != got) return ERROR_DISK_FULL;
        if (sink) sink(buffer.data(), got);
    }
}

bool NtFamily() { return State().OSKind != "notNT"; }

constexpr DWORD kAsItself = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;

// The name itself is a link. Windows shows a link on its handle, Wine only
// on its name (its handles follow): both are asked.
bool LinkedName(const std::string& path, OpenedFile* opened) {
    const DWORD named = Changes().Attributes(path);
    DWORD attributes = 0;
    const bool reparse = (named != INVALID_FILE_ATTRIBUTES && (named & FILE_ATTRIBUTE_REPARSE_POINT)) ||
                         (opened && opened->Attributes(attributes) == 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT));
    return reparse && RedirectingReparsePoint(path);
}

// 0 when the opened object is a plain file that has only this name;
// kLinkedTarget for a link or a shared file; ERROR_ACCESS_DENIED for a
// folder.
unsigned long CheckOwnFile(const std::string& path, OpenedFile& file) {
    if (LinkedName(path, &file)) return kLinkedTarget;
    DWORD attributes = 0;
    if (const unsigned long error = file.Attributes(attributes)) return error;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_ACCESS_DENIED;
    DWORD links = 1;
    if (const unsigned long error = file.Links(links)) return error;
    return links > 1 ? kLinkedTarget : 0;
}

// An existing destination made ready to be replaced: a plain file of one
// name, read-only or hidden no more (through its own handle, so the
// attribute of nobody else's file changes). 0, ERROR_FILE_NOT_FOUND when
// nothing is there, ERROR_SHARING_VIOLATION when someone holds it so that
// it cannot be replaced now, or the code that refuses it.
unsigned long ReadyToReplace(const std::string& destination) {
    SystemChanges& changes = Changes();
    if (!NtFamily()) {
        // No links of any kind on 95/98/Me.
        const DWORD attributes = changes.Attributes(destination);
        if (attributes == INVALID_FILE_ATTRIBUTES) return ERROR_FILE_NOT_FOUND;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_ACCESS_DENIED;
        if (attributes != FILE_ATTRIBUTE_ARCHIVE) changes.SetAttributes(destination, FILE_ATTRIBUTE_ARCHIVE);
        return 0;
    }
    // Asked for the deletion a rename over it takes: a file in use says so
    // here (as the rename would), and so does a preview.
    OpenedFilePtr file =
        changes.Open(destination, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING, kAsItself);
    if (!file) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return ERROR_FILE_NOT_FOUND;
        if (error == ERROR_SHARING_VIOLATION) return LinkedName(destination, nullptr) ? kLinkedTarget : error;
        // Not even its attributes may be touched: the rename will tell.
        return LinkedName(destination, nullptr) ? kLinkedTarget : 0;
    }
    if (const unsigned long refused = CheckOwnFile(destination, *file)) return refused;
    DWORD attributes = 0;
    if (file->Attributes(attributes) == 0 &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
        file->SetHeldAttributes(FILE_ATTRIBUTE_ARCHIVE);
    return 0;
}

}  // namespace

bool RedirectingReparsePoint(const std::string& path) {
    // The tag is what a listing gives in dwReserved0 for a reparse point.
    constexpr DWORD kNameSurrogate = 0x20000000;
    std::vector<WIN32_FIND_DATAA> found;
    std::string name = path;
    while (name.size() > 3 && (name.back() == '\\' || name.back() == '/')) name.pop_back();
    if (!Changes().Find(name, found) || found.size() != 1) return true;
    const DWORD tag = found[0].dwReserved0;
    return tag == 0 || (tag & kNameSurrogate) != 0;
}

std::string CopyTemporaryName(const std::string& destination) { return destination + kCopyTemporarySuffix; }

OpenedFilePtr OpenOwnFile(const std::string& path, DWORD access, DWORD share, unsigned long& error) {
    error = 0;
    const bool nt = NtFamily();
    OpenedFilePtr file = Changes().Open(path, access | (nt ? SYNCHRONIZE : 0), share, OPEN_EXISTING,
                                        nt ? kAsItself : FILE_ATTRIBUTE_NORMAL);
    if (!file) {
        error = LastErrorOr(ERROR_GEN_FAILURE);
        return nullptr;
    }
    if (nt) error = CheckOwnFile(path, *file);
    if (error) return nullptr;
    return file;
}

OpenedFilePtr CreateFreshFile(const std::string& path, DWORD share, DWORD flags, unsigned long& error) {
    error = 0;
    SystemChanges& changes = Changes();
    OpenedFilePtr file = changes.Open(path, GENERIC_WRITE, share, CREATE_NEW, flags);
    if (file) return file;
    error = LastErrorOr(ERROR_GEN_FAILURE);
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return nullptr;
    // The name goes, not the file behind it: a hard link's other names keep
    // it, a link itself goes without what it points at. A read-only one
    // keeps the name (the attribute would be the shared file's).
    if (!changes.DeleteFile(path)) {
        error = LastErrorOr(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    file = changes.Open(path, GENERIC_WRITE, share, CREATE_NEW, flags);
    error = file ? 0 : LastErrorOr(ERROR_GEN_FAILURE);
    return file;
}

unsigned long PutInPlace(const std::string& temporary, const std::string& target) {
    SystemChanges& changes = Changes();
    if (!NtFamily()) {
        // 95/98/Me have no MoveFileEx: delete, then rename.
        if (changes.Attributes(target) != INVALID_FILE_ATTRIBUTES && !changes.DeleteFile(target))
            return LastErrorOr(ERROR_ACCESS_DENIED);
        return changes.Move(temporary, target, 0) ? 0 : LastErrorOr(ERROR_GEN_FAILURE);
    }
    return changes.Move(temporary, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : LastErrorOr(ERROR_GEN_FAILURE);
}

unsigned long CopyFileReset(const std::string& source, const std::string& destination, bool destinationMayExist,
                            unsigned long long* copied, OpenedFile* from) {
    CopyRequest request;
    request.destinationMayExist = destinationMayExist;
    request.copied = copied;
    request.from = from;
    return CopyFileTo(source, destination, request);
}

unsigned long CopyFileTo(const std::string& source, const std::string& destination, const CopyRequest& request) {
    if (request.copied) *request.copied = 0;
    if (request.inUseTemporary) request.inUseTemporary->clear();
    SystemChanges& changes = Changes();
    // Nobody may write the source while it is read; and a destination that
    // is the source itself (another name of it) cannot then be replaced:
    // 32, as the system's copy gives, never an emptied file.
    OpenedFilePtr opened;
    if (!request.from) {
        opened = changes.Open(source, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN);
        if (!opened) return LastErrorOr(ERROR_GEN_FAILURE);
    } else if (!request.from->Rewind()) {
        return LastErrorOr(ERROR_READ_FAULT);
    }
    OpenedFile* const in = request.from ? request.from : opened.get();
    unsigned long long size = 0;
    if (!in->Size(size)) return GetLastError();
    FILETIME written = {};
    const bool timed = in->Time(written);

    // Looking up a name that is not there costs a scan of the whole folder
    // on some file systems (Wine's, without regard to case): skipped when
    // the caller already knows; the rename then tells.
    bool replacing = false, inUse = false;
    if (request.destinationMayExist) {
        const unsigned long ready = ReadyToReplace(destination);
        inUse = ready == ERROR_SHARING_VIOLATION;
        if (ready != 0 && ready != ERROR_FILE_NOT_FOUND && !inUse) return ready;
        // In use: the copy is still made, for the restart, when asked for.
        if (inUse && !request.inUseTemporary) return ready;
        replacing = ready == 0 || inUse;
    }
    const ChangeSaid said([&] {
        return std::string(replacing ? "コピー(置換) " : "コピー(新規) ") + source + " -> " + destination;
    });
    const std::string temporary = CopyTemporaryName(destination);
    unsigned long error = 0;
    OpenedFilePtr out =
        CreateFreshFile(temporary, FILE_SHARE_READ, FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN, error);
    if (!out) return error;
    error = CopyContents(*in, *out, size, request.sink);
    // The time is set last (every write moves it); a medium that keeps no
    // time leaves the copy's own.
    if (error == 0 && timed) out->SetTime(written);
    if (error == 0 && !out->Close()) error = LastErrorOr(ERROR_WRITE_FAULT);
    out.reset();
    if (error == 0) {
        if (replacing) {
            error = inUse ? ERROR_SHARING_VIOLATION : PutInPlace(temporary, destination);
            if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
                // In use (or the source itself, held by the read above).
                error = ERROR_SHARING_VIOLATION;
                if (request.inUseTemporary) {
                    *request.inUseTemporary = temporary;
                    return error;
                }
            }
        } else if (!changes.Move(temporary, destination, 0)) {
            error = LastErrorOr(ERROR_GEN_FAILURE);
            // Where the caller saw no destination, one that came meanwhile
            // is never overwritten unasked.
            if (error == ERROR_ALREADY_EXISTS) error = ERROR_FILE_EXISTS;
        }
    }
    // A cut file is never the file it claims to be (and a full disk gets
    // its space back).
    if (error != 0) changes.DeleteFile(temporary);
    if (error == 0 && request.copied) *request.copied = size;
    return error;
}

bool ReadHeldFile(const std::string& path, std::string& bytes, unsigned long long maxBytes) {
    bytes.clear();
    OpenedFilePtr file = Changes().Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
    if (!file) return false;
    unsigned long long size = 0;
    if (!file->Size(size)) return false;
    if (size > maxBytes) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return false;
    }
    bytes.resize(static_cast<size_t>(size));
    size_t have = 0;
    for (;;) {
        // One more byte asked than expected: a file that grew is read whole.
        if (have == bytes.size()) bytes.resize(have + 4096);
        DWORD got = 0;
        if (!file->Read(&bytes[have], static_cast<DWORD>(bytes.size() - have), got)) return false;
        if (got == 0) break;
        have += got;
        if (have > maxBytes) {
            SetLastError(ERROR_FILE_TOO_LARGE);
            return false;
        }
    }
    bytes.resize(have);
    return true;
}

unsigned long WriteNewFile(const std::string& path, const std::string& bytes) {
    SystemChanges& changes = Changes();
    OpenedFilePtr file = changes.Open(path, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_ARCHIVE);
    if (!file) return LastErrorOr(ERROR_GEN_FAILURE);
    DWORD put = 0;
    const bool written = bytes.empty() || (file->Write(bytes.data(), static_cast<DWORD>(bytes.size()), put) && put == bytes.size());
    unsigned long error = written ? 0 : LastErrorOr(ERROR_WRITE_FAULT);
    if (!file->Close() && error == 0) error = LastErrorOr(ERROR_WRITE_FAULT);
    if (error == 0) return 0;
    file.reset();
    changes.DeleteFile(path);
    return error;
}

bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    const DWORD attrs = Changes().Attributes(path);
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
    const std::string pattern = RemovePathDelimiter(path, "B") + "\\*.*";
    std::vector<WIN32_FIND_DATAA> found;
    return Changes().Find(pattern, found);
}

bool ForceFolders(const std::string& path) {
    std::string rest = AddPathDelimiter(path, "B");
    std::string prefix;
    bool result = true;
    for (int p = IPos("\\", rest); p > 0; p = IPos("\\", rest)) {
        prefix += rest.substr(0, static_cast<size_t>(p));
        rest.erase(0, static_cast<size_t>(p));
        if (!FolderExists(prefix)) result = Changes().CreateFolder(prefix);
    }
    return result;
}

std::string GetSpecialFolder(int csidl) {
    // The lookup by number, where the shell has it (2000, Me and later),
    // names a folder without the walk through the shell's namespace that an
    // item list takes: under Wine that walk cost most of an unattended start
    // (some 3 ms a folder). For a folder that is there the two agree, but
    // that an item list spells every name long; for one that is not there,
    // or on a system without the call, the item list decides.
    const std::string named = SHGetFolderPath932(csidl);
    if (!named.empty() && FolderExists(named)) {
        if (named.find('~') == std::string::npos) return named;
        const std::string longForm = GetLongPathName932(named);
        if (!longForm.empty()) return longForm;
    }
    ComPtr<IMalloc> malloc;
    if (FAILED(syslib::SHGetMalloc(malloc.put()))) return {};
    std::string result;
    LPITEMIDLIST items = nullptr;
    // The window is reserved and unused by the call; asking for the desktop
    // window would bring up the display (under Wine) for nothing.
    if (SUCCEEDED(syslib::SHGetSpecialFolderLocation(nullptr, csidl, &items)) && items) {
        result = SHGetPathFromIDList932(items);
        const DWORD error = GetLastError();
        malloc->Free(items);
        SetLastError(error);
    }
    return result;
}

std::string SysErrorText(unsigned long code) {
    if (code == 0) return {};
    std::string message = FormatMessage932(code);
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    if (message.empty()) message = "Error " + std::to_string(code);
    return MapString(message, LCMAP_FULLWIDTH) + "\r\n";
}

void ProcessMessages() {
    MSG msg;
    while (PeekMessage932(msg, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        HWND dialog = syslib::RootWindow(msg.hwnd);
        if (dialog && IsDialogMessage932(dialog, msg)) continue;
        TranslateMessage(&msg);
        DispatchMessage932(msg);
    }
}

void SetOwnerWindow(HWND window) { g_owner = window; }
HWND OwnerWindow() { return g_owner; }
