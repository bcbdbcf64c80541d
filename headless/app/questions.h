// The tool's questions, for a front end whose user answers them as they come
// (the browser workspace). The tool asks in the middle of an action (closing
// asks whether to write a report, then for its file name); without an asker,
// or with a queued answer (act::Answer), the host answers by itself.
#ifndef ZAPP_QUESTIONS_H
#define ZAPP_QUESTIONS_H

#include <functional>
#include <string>
#include <vector>

namespace zapp {

struct Question {
    bool fileQuery = false;
    std::string text;                  // the question, or the file query's title
    std::vector<std::string> buttons;  // a question's two buttons, in order
    std::string pattern;               // a file query's file-name pattern
};

struct QuestionAnswer {
    enum Kind { kYes, kNo, kCancel, kFile } kind = kCancel;
    std::string fileName;  // for kFile
};

// Called on the thread that runs the action, which waits for the answer.
using QuestionAsker = std::function<QuestionAnswer(const Question &question)>;
// Installs the asker (an empty one removes it); it stays through ResetHost.
// A question with no answer queued and no asker takes its first button, a
// file query is cancelled.
void SetQuestionAsker(QuestionAsker asker);

}  // namespace zapp

#endif
