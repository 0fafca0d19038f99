#include "app/uUtils.h"

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
unsigned long CopyContents(OpenedFile& in, OpenedFile& out, unsigned long long size) {
    const DWORD piece = static_cast<DWORD>(size < kCopyPiece ? size : kCopyPiece);
    if (piece == 0) return 0;
    std::vector<char>& buffer = CopyBuffer(piece);
    for (;;) {
        DWORD got = 0, put = 0;
        if (!in.Read(buffer.data(), piece, got)) return LastErrorOr(ERROR_READ_FAULT);
        if (got == 0) return 0;
        if (!out.Write(buffer.data(), got, put)) return LastErrorOr(ERROR_WRITE_FAULT);
        if (put != got) return ERROR_DISK_FULL;
    }
}

}  // namespace

unsigned long CopyFileReset(const std::string& source, const std::string& destination, bool destinationMayExist,
                            unsigned long long* copied, OpenedFile* from) {
    if (copied) *copied = 0;
    SystemChanges& changes = Changes();
    // Nobody may write the source while it is read; and a destination that
    // is the source itself (another name of it) cannot then be opened for
    // writing: 32, as the system's copy gives, never an emptied file.
    OpenedFilePtr opened;
    if (!from) {
        opened = changes.Open(source, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN);
        if (!opened) return LastErrorOr(ERROR_GEN_FAILURE);
    } else if (!from->Rewind()) {
        return LastErrorOr(ERROR_READ_FAULT);
    }
    OpenedFile* const in = from ? from : opened.get();
    unsigned long long size = 0;
    if (!in->Size(size)) return GetLastError();
    FILETIME written = {};
    const bool timed = in->Time(written);

    // Looking up a name that is not there costs a scan of the whole folder
    // on some file systems (Wine's, without regard to case): skipped when
    // the caller already knows. A read-only or hidden file could not be
    // replaced otherwise.
    if (destinationMayExist) {
        const DWORD attributes = changes.Attributes(destination);
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
            attributes != FILE_ATTRIBUTE_ARCHIVE)
            changes.SetAttributes(destination, FILE_ATTRIBUTE_ARCHIVE);
    }
    const ChangeSaid said([&] {
        const bool replaced = destinationMayExist && changes.Attributes(destination) != INVALID_FILE_ATTRIBUTES;
        return std::string(replaced ? "コピー(置換) " : "コピー(新規) ") + source + " -> " + destination;
    });
    // Where the caller saw no destination, one that came meanwhile is never
    // overwritten unasked.
    OpenedFilePtr out = changes.Open(destination, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     destinationMayExist ? CREATE_ALWAYS : CREATE_NEW,
                                     FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN);
    if (!out) return LastErrorOr(ERROR_GEN_FAILURE);
    unsigned long error = CopyContents(*in, *out, size);
    // The time is set last (every write moves it); a medium that keeps no
    // time leaves the copy's own.
    if (error == 0 && timed) out->SetTime(written);
    if (error == 0 && !out->Close()) error = LastErrorOr(ERROR_WRITE_FAULT);
    if (error != 0) {
        // A cut file is never the file it claims to be (and a full disk
        // gets its space back).
        out.reset();
        changes.DeleteFile(destination);
        return error;
    }
    if (copied) *copied = size;
    return 0;
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
