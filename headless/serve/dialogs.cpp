#include "dialogs.h"

namespace zsrv {

namespace {

DialogAnswer UnattendedReply(const Question &question, const std::string &file) {
    DialogAnswer reply;
    if (!question.fileQuery) {
        reply.kind = file.empty() ? DialogAnswer::kNo : DialogAnswer::kYes;
    } else if (!file.empty()) {
        reply.kind = DialogAnswer::kFile;
        reply.fileName = file;
    }
    return reply;
}

}  // namespace

DialogAnswer Dialogs::Ask(const Question &question) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!unattended_) {
        question_ = question;
        waiting_ = true;
        answered_ = false;
        changed_.notify_all();
        changed_.wait(lock, [this] { return answered_ || unattended_; });
        waiting_ = false;
    }
    DialogAnswer reply = answered_ ? reply_ : UnattendedReply(question, unattendedFile_);
    answered_ = false;
    given_.push_back(reply);
    return reply;
}

bool Dialogs::Pending(Question *question) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (waiting_ && question) *question = question_;
    return waiting_;
}

bool Dialogs::Answer(const DialogAnswer &reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!waiting_ || answered_) return false;
    reply_ = reply;
    answered_ = true;
    waiting_ = false;
    changed_.notify_all();
    return true;
}

void Dialogs::Wake() {
    std::lock_guard<std::mutex> lock(mutex_);
    changed_.notify_all();
}

void Dialogs::Unattended(const std::string &reportFile) {
    std::lock_guard<std::mutex> lock(mutex_);
    unattended_ = true;
    unattendedFile_ = reportFile;
    changed_.notify_all();
}

std::vector<DialogAnswer> Dialogs::TakeGiven() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<DialogAnswer> given;
    given.swap(given_);
    return given;
}

}  // namespace zsrv
