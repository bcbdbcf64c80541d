// The UI-script language's tokens, read one at a time from a script's text
// (zml_parser.cpp has the grammar). Internal to toolkit/ui.
#ifndef ZUI_ZML_READER_H
#define ZUI_ZML_READER_H

#include <cstddef>
#include <string>

namespace zui {

enum class TokenKind { Word, Text, Number, Reference, Open, Close, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
    int line = 0;
};

// Thrown inside the parser only, and caught where a script is parsed.
struct SyntaxError {
    std::string message;
};

// A token, a text or a name longer than this is an error.
constexpr size_t kMaxTokenLength = 1024;

class Reader {
   public:
    // text must outlive the reader; fileName names it in errors.
    Reader(const std::string &text, const std::string &fileName) : text_(text), fileName_(fileName) {}

    // Throws SyntaxError "FILE:LINE: what".
    [[noreturn]] void Fail(int line, const std::string &what) const;
    // The next token; End at the end of the text.
    Token Next();

   private:
    void SkipSpaceAndComments();
    std::string ReadWhile(bool (*accept)(char), const char *what);
    // A text in double quotes, on one line; \" and \\ stand for themselves.
    void ReadText(Token *token);

    const std::string &text_;
    std::string fileName_;
    size_t pos_ = 0;
    int line_ = 1;
};

// A token as an error message names it: "'{'", "text \"...\"", "the end of the script".
std::string Describe(const Token &token);

}  // namespace zui

#endif
