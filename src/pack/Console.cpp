#include "pack/Console.h"

#include <windows.h>

#include "platform/Win932.h"

namespace {

// A console line is about 80 columns; a longer progress text would wrap and
// leave its first part behind.
constexpr size_t kProgressWidth = 76;

std::string Cut(const std::string& text, size_t width) {
    size_t i = 0, end = 0;
    while (i < text.size() && i < width) {
        const size_t step = static_cast<unsigned char>(text[i]) >= 0x81 &&
                                    (static_cast<unsigned char>(text[i]) <= 0x9F || static_cast<unsigned char>(text[i]) >= 0xE0)
                                ? 2
                                : 1;
        if (i + step > width) break;
        i += step;
        end = i;
    }
    return text.substr(0, end);
}

}  // namespace

void PrintLine(const std::string& text) { WriteStandard932(STD_OUTPUT_HANDLE, text + "\r\n"); }

void PrintErrorLine(const std::string& text) { WriteStandard932(STD_ERROR_HANDLE, text + "\r\n"); }

ProgressLine::ProgressLine() : console_(IsConsole932(STD_OUTPUT_HANDLE)) {}

ProgressLine::~ProgressLine() {
    if (console_ && shown_ > 0) WriteStandard932(STD_OUTPUT_HANDLE, "\r" + std::string(shown_, ' ') + "\r");
}

void ProgressLine::Show(const std::string& text) {
    if (!console_) return;
    const std::string line = Cut(text, kProgressWidth);
    const size_t pad = shown_ > line.size() ? shown_ - line.size() : 0;
    WriteStandard932(STD_OUTPUT_HANDLE, "\r" + line + std::string(pad, ' '));
    shown_ = line.size() + pad;
}
