// The tool's questions handed to a front end's asker.
#include "app/questions.h"

#include <utility>

#include "automation/ui_automation.h"

namespace zapp {

void SetQuestionAsker(QuestionAsker asker) { zha::SetDialogAsker(std::move(asker)); }

}  // namespace zapp
