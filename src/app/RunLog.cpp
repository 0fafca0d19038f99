#include "app/RunLog.h"

#include <windows.h>

#include <string>

#include "app/uStrOp.h"
#include "platform/Handles.h"
#include "platform/Win932.h"

namespace {

FileHandle& LogFile() {
    static FileHandle file;
    return file;
}

std::string OneLine(const std::string& text) {
    std::string line;
    line.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            if (i + 1 < text.size()) line += " / ";
            continue;
        }
        line += c;
    }
    return line;
}

void Write(const std::string& bytes) {
    FileHandle& file = LogFile();
    if (!file) return;
    DWORD written = 0;
    // No buffer of our own: the bytes are the system's once the call returns.
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

bool OpenRunLog(const std::string& path) {
    FileHandle file(CreateFile932(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LogFile() = std::move(file);
    return true;
}

bool RunLogOpen() { return static_cast<bool>(LogFile()); }

void CloseRunLog() { LogFile().reset(); }

void LogLine(const std::string& kind, const std::string& text) {
    if (!RunLogOpen()) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::string stamp = ZeroPadded(now.wHour, 2) + ":" + ZeroPadded(now.wMinute, 2) + ":" +
                              ZeroPadded(now.wSecond, 2) + "." + ZeroPadded(now.wMilliseconds, 3) + " ";
    Write(stamp + ("[" + kind + "] ") + OneLine(text) + "\r\n");
}

void LogItem(const std::string& action, const std::string& source, const std::string& destination,
             const std::string& result, unsigned long code) {
    if (!RunLogOpen()) return;
    std::string text = action;
    if (!source.empty()) text += " 元: " + source;
    if (!destination.empty()) text += " 先: " + destination;
    text += " 結果: " + result + " コード: " + std::to_string(code);
    LogLine("項目", text);
}

void LogQuestion(const std::string& caption, const std::string& text, const std::string& answer,
                 const std::string& who) {
    LogLine("質問", "「" + caption + "」 " + text + " → 回答: " + answer + " (" + who + ")");
}

void LogBlock(const std::string& kind, const std::string& text) {
    if (!RunLogOpen()) return;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        if (end > start) LogLine(kind, text.substr(start, end - start));
        start = end + 2;
    }
}

std::string AnswerWord(int id) {
    switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "キャンセル";
    case IDYES: return "はい";
    case IDNO: return "いいえ";
    case IDABORT: return "中止";
    case IDRETRY: return "再試行";
    case IDIGNORE: return "無視";
    default: return std::to_string(id);
    }
}
