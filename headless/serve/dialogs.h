// Questions the tool asks while the page is its user. The tool asks on the
// module thread, in the middle of an action (closing asks whether to write a
// report, then for its file name); the question waits there until the page
// answers it through another request, so the tool gets the analyst's own
// answer, as a desktop dialog would give it.
#ifndef ZSRV_DIALOGS_H
#define ZSRV_DIALOGS_H

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "app/questions.h"

namespace zsrv {

using Question = zapp::Question;
using DialogAnswer = zapp::QuestionAnswer;

class Dialogs {
public:
    // On the module thread: shows the question and waits for the reply. After
    // Shutdown, or in unattended mode, answers at once without waiting.
    DialogAnswer Ask(const Question &question);
    // On a request thread: the question waiting for an answer, if any.
    bool Pending(Question *question) const;
    // Answers the waiting question; false when none waits.
    bool Answer(const DialogAnswer &reply);
    // Wakes the threads waiting below, to look at their end condition again.
    void Wake();
    // On a request thread: waits until done() holds or a question is waiting;
    // true when a question waits and done() does not hold.
    template <typename Done>
    bool WaitForQuestionOr(Done done) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return waiting_ || done(); });
        return waiting_ && !done();
    }
    // From now on questions are answered without the page: with a report file
    // named, yes and that file; without, no and cancel. A question waiting now
    // gets that answer too.
    void Unattended(const std::string &reportFile);
    // The answers given during the current action, as session answers, in
    // order; cleared by the call.
    std::vector<DialogAnswer> TakeGiven();

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool waiting_ = false;
    bool answered_ = false;
    bool unattended_ = false;
    std::string unattendedFile_;
    Question question_;
    DialogAnswer reply_;
    std::vector<DialogAnswer> given_;
};

}  // namespace zsrv

#endif
