#pragma once
// What RVPACK prints: lines on the standard output (findings and the
// summary, CP932 bytes when redirected), its own errors on the standard
// error, and a progress line that rewrites itself on a console and is left
// out of a file or a pipe.
#include <string>

void PrintLine(const std::string& text);
void PrintErrorLine(const std::string& text);

class ProgressLine {
public:
    ProgressLine();
    ~ProgressLine();  // clears the line
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    void Show(const std::string& text);

private:
    bool console_;
    size_t shown_ = 0;  // bytes on the line now
};
