// A front end whose user answers the host's dialogs as they come: when a
// yes/no question or a file query finds no answer queued, the asker installed
// here is called with it (on the thread that runs the dialog, which waits for
// the answer). Without one, such a dialog takes its default: a question its
// first button, a file query cancelled.
#ifndef ZUI_DIALOG_ASKER_H
#define ZUI_DIALOG_ASKER_H

#include <functional>
#include <string>
#include <vector>

namespace zui {

struct DialogQuestion {
    bool fileQuery = false;
    std::string text;                  // the question, or the file query's title
    std::vector<std::string> buttons;  // a question's two buttons, in order
    std::string pattern;               // a file query's file-name pattern
};

struct DialogReply {
    enum Kind { kYes, kNo, kCancel, kFile } kind = kCancel;
    std::string fileName;  // for kFile
};

using DialogAsker = std::function<DialogReply(const DialogQuestion &question)>;
// Installs the asker (an empty one removes it). It stays through resets.
void SetDialogAsker(DialogAsker asker);

}  // namespace zui

#endif
