#pragma once
// The /LOG file: one line per event of a session, in CP932 with CR LF like
// the record. Every line is handed to the system as it is written, so what
// happened up to a crash is in the file. Without an open log every call
// does nothing, so the runs may always write to it.
#include <string>

// Opens (creates or empties) the log file; false when it cannot be made.
bool OpenRunLog(const std::string& path);
bool RunLogOpen();
void CloseRunLog();

// One line with the time of day in front; CR LF inside the text become " / "
// so that one event stays one line.
void LogLine(const std::string& kind, const std::string& text);

// A run's item: what was done, from where, to where, the result word and
// the Win32 code (0 = success).
void LogItem(const std::string& action, const std::string& source, const std::string& destination,
             const std::string& result, unsigned long code);

// A question and the answer given, with who gave it ("利用者" for the
// person at the screen, "サイレント既定" for the fixed table of /S).
void LogQuestion(const std::string& caption, const std::string& text, const std::string& answer,
                 const std::string& who);

// A block of text (the failure log), each of its lines as its own log line.
void LogBlock(const std::string& kind, const std::string& text);

// The word for a message box answer id ("はい", "いいえ", "OK", ...).
std::string AnswerWord(int id);
