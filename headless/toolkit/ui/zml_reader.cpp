// Reading the UI-script language's tokens.
#include "toolkit/ui/zml_reader.h"

#include <cctype>
#include <cstdio>

namespace zui {

namespace {

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c); }

}  // namespace

void Reader::Fail(int line, const std::string &what) const {
    throw SyntaxError{fileName_ + ":" + std::to_string(line) + ": " + what};
}

Token Reader::Next() {
    SkipSpaceAndComments();
    Token token;
    token.line = line_;
    if (pos_ >= text_.size()) return token;
    const char c = text_[pos_];
    if (c == '{' || c == '}') {
        token.kind = c == '{' ? TokenKind::Open : TokenKind::Close;
        token.text = std::string(1, c);
        ++pos_;
    } else if (c == '"') {
        token.kind = TokenKind::Text;
        ReadText(&token);
    } else if (c == '$') {
        ++pos_;
        token.kind = TokenKind::Reference;
        token.text = ReadWhile(IsNameChar, "a part name after '$'");
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
        token.kind = TokenKind::Number;
        token.text = ReadWhile(IsDigit, "a number");
    } else if (IsNameStart(c)) {
        token.kind = TokenKind::Word;
        token.text = ReadWhile(IsNameChar, "a name");
    } else {
        char shown[16];
        if (std::isprint(static_cast<unsigned char>(c)))
            std::snprintf(shown, sizeof shown, "'%c'", c);
        else
            std::snprintf(shown, sizeof shown, "byte 0x%02x", static_cast<unsigned char>(c));
        Fail(line_, std::string("unexpected character ") + shown);
    }
    return token;
}

void Reader::SkipSpaceAndComments() {
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (c == '\n') {
            ++line_;
            ++pos_;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            ++pos_;
        } else if (c == '#') {
            while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
        } else {
            break;
        }
    }
}

std::string Reader::ReadWhile(bool (*accept)(char), const char *what) {
    const size_t start = pos_;
    while (pos_ < text_.size() && accept(text_[pos_])) {
        if (pos_ - start >= kMaxTokenLength)
            Fail(line_, std::string(what) + " longer than " + std::to_string(kMaxTokenLength) + " characters");
        ++pos_;
    }
    if (pos_ == start) Fail(line_, std::string("expected ") + what);
    return text_.substr(start, pos_ - start);
}

void Reader::ReadText(Token *token) {
    ++pos_;
    while (true) {
        if (pos_ >= text_.size() || text_[pos_] == '\n') Fail(token->line, "text not closed by '\"'");
        char c = text_[pos_++];
        if (c == '"') return;
        if (c == '\\' && pos_ < text_.size() && (text_[pos_] == '"' || text_[pos_] == '\\')) c = text_[pos_++];
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') Fail(line_, "control character in text");
        if (token->text.size() >= kMaxTokenLength)
            Fail(token->line, "text longer than " + std::to_string(kMaxTokenLength) + " characters");
        token->text += c;
    }
}

std::string Describe(const Token &token) {
    switch (token.kind) {
        case TokenKind::End: return "the end of the script";
        case TokenKind::Open: return "'{'";
        case TokenKind::Close: return "'}'";
        case TokenKind::Text: return "text \"" + token.text.substr(0, 40) + (token.text.size() > 40 ? "...\"" : "\"");
        case TokenKind::Reference: return "$" + token.text;
        case TokenKind::Number: return "number " + token.text;
        case TokenKind::Word: return "'" + token.text + "'";
    }
    return "?";
}

}  // namespace zui
