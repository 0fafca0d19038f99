#include "app/uUtils.h"

#include <windows.h>
#include <shlobj.h>

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

unsigned long CopyFileReset(const std::string& source, const std::string& destination, bool destinationMayExist) {
    auto exists = [&] { return GetFileAttributes932(destination) != INVALID_FILE_ATTRIBUTES; };
    // Looking up a name that is not there costs a scan of the whole folder
    // on some file systems (Wine's, without regard to case): skipped when
    // the caller already knows.
    if (destinationMayExist && exists()) SetFileAttributes932(destination, FILE_ATTRIBUTE_ARCHIVE);
    const BOOL ok = CopyFile932(source, destination, FALSE);
    const DWORD error = GetLastError();
    if (ok) {
        SetFileAttributes932(destination, FILE_ATTRIBUTE_ARCHIVE);
        return 0;
    }
    // A copy that ran out of space leaves a cut file under the name; it is
    // never the file it claims to be, so it goes (and gives its space back).
    if ((error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) && exists()) DeleteFile932(destination);
    if (exists()) SetFileAttributes932(destination, FILE_ATTRIBUTE_ARCHIVE);
    return error ? error : ERROR_GEN_FAILURE;
}

bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    const DWORD attrs = GetFileAttributes932(path);
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
    const std::string pattern = RemovePathDelimiter(path, "B") + "\\*.*";
    WIN32_FIND_DATAA fd;
    FindHandle find(FindFirstFile932(pattern, &fd));
    return static_cast<bool>(find);
}

bool ForceFolders(const std::string& path) {
    std::string rest = AddPathDelimiter(path, "B");
    std::string prefix;
    bool result = true;
    for (int p = IPos("\\", rest); p > 0; p = IPos("\\", rest)) {
        prefix += rest.substr(0, static_cast<size_t>(p));
        rest.erase(0, static_cast<size_t>(p));
        if (!FolderExists(prefix)) result = CreateDirectory932(prefix, nullptr) != FALSE;
    }
    return result;
}

std::string GetSpecialFolder(int csidl) {
    ComPtr<IMalloc> malloc;
    if (FAILED(syslib::SHGetMalloc(malloc.put()))) return {};
    std::string result;
    LPITEMIDLIST items = nullptr;
    if (SUCCEEDED(syslib::SHGetSpecialFolderLocation(GetDesktopWindow(), csidl, &items)) && items) {
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
