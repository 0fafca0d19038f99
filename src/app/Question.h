#pragma once
// A question of a message box together with the answer it takes when nobody
// is there to give one. The unattended answer is chosen where the question
// is asked, by the code that knows what the question is for; /S only passes
// it on, and never has to recognise a question by its text or caption.
#include <string>

struct Question {
    std::string text;
    std::string caption;
    unsigned flags;  // as the system's message box takes them (buttons, icon)
    int unattended;  // the id of one of those buttons (IDOK, IDYES, IDNO, ...)
};
