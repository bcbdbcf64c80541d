// The tool's questions handed to a front end's asker.
#include "app/questions.h"

#include "automation/ui_automation.h"

namespace zapp {

void SetQuestionAsker(QuestionAsker asker) {
    if (!asker) return zha::SetDialogAsker(nullptr);
    zha::SetDialogAsker([asker](const zha::DialogQuestion &asked) {
        const QuestionAnswer answer = asker(Question{asked.fileQuery, asked.text, asked.buttons, asked.pattern});
        zha::DialogReply reply;
        switch (answer.kind) {
            case QuestionAnswer::kYes: reply.kind = zha::DialogReply::kYes; break;
            case QuestionAnswer::kNo: reply.kind = zha::DialogReply::kNo; break;
            case QuestionAnswer::kCancel: reply.kind = zha::DialogReply::kCancel; break;
            case QuestionAnswer::kFile: reply.kind = zha::DialogReply::kFile; break;
        }
        reply.fileName = answer.fileName;
        return reply;
    });
}

}  // namespace zapp
