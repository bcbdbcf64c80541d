// The tool's questions, for a front end whose user answers them as they come
// (the browser workspace). The tool asks in the middle of an action (closing
// asks whether to write a report, then for its file name); without an asker,
// or with a queued answer (act::Answer), the host answers by itself.
#ifndef ZAPP_QUESTIONS_H
#define ZAPP_QUESTIONS_H

#include "toolkit/ui/dialog_asker.h"

namespace zapp {

// The toolkit's own types: one definition of a question and its answer.
using Question = zui::DialogQuestion;
using QuestionAnswer = zui::DialogReply;
// Called on the thread that runs the action, which waits for the answer.
using QuestionAsker = zui::DialogAsker;
// Installs the asker (an empty one removes it); it stays through ResetHost.
// A question with no answer queued and no asker takes its first button, a
// file query is cancelled.
void SetQuestionAsker(QuestionAsker asker);

}  // namespace zapp

#endif
