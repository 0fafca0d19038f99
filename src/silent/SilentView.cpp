#include "silent/SilentView.h"

#include <windows.h>

#include "app/RunLog.h"

namespace {

// Questions whose safe answer is "yes"; every other yes/no question is
// answered "no" (short of space: stop; the overwrite question: keep the
// file; shared, "/C" and system libraries: keep; details: not shown).
constexpr const char* kYesCaptions[] = {
    "フォルダ作成",    // the install folder is missing: create it
    "関連付けの確認",  // the package asked for the association
};

}  // namespace

int SilentAnswer(const std::string& caption, unsigned flags, bool repeated) {
    switch (flags & MB_TYPEMASK) {
    case MB_OK: return IDOK;
    case MB_OKCANCEL:
        // The next disk: its files must already be there; asked again means
        // they are not, and the run stops.
        return repeated ? IDCANCEL : IDOK;
    case MB_YESNO:
    case MB_YESNOCANCEL:
        for (const char* yes : kYesCaptions)
            if (caption == yes) return IDYES;
        return IDNO;
    case MB_RETRYCANCEL: return IDCANCEL;
    case MB_ABORTRETRYIGNORE: return IDABORT;
    default: return IDCANCEL;
    }
}

void WriteStandardError(const std::string& text) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
    const std::string line = text + "\r\n";
    DWORD written = 0;
    WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

int TSilentView::Ask(const std::string& text, const std::string& caption, unsigned flags) {
    const bool repeated = caption == lastCaption_ && text == lastText_;
    lastCaption_ = caption;
    lastText_ = text;
    WriteStandardError("[" + caption + "] " + text);
    const int answer = SilentAnswer(caption, flags, repeated);
    LogQuestion(caption, text, AnswerWord(answer), kSilentAnswerer);
    return answer;
}
