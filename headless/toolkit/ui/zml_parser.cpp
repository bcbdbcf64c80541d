// The UI-script language: a reader of tokens and a parser of frames, parts and
// file queries.
//
//   script    := { frame | filequery }
//   frame     := "frame" NAME TEXT { ("height" | "width") NUMBER } "{" { part } "}"
//   filequery := "filequery" NAME TEXT TEXT                 (title, file pattern)
//   part      := "label" NAME TEXT [TEXT]                   (title, first text)
//              | "toggle" NAME TEXT "values" TEXT { TEXT } [call]
//              | "field" NAME TEXT [TEXT]                   (title, file pattern)
//              | "button" NAME TEXT call
//              | "tool" NAME TEXT [call]
//              | "cellarray" NAME "{" { column } "}"
//   column    := "column" TEXT KIND [ "format" TEXT ]
//   KIND      := "rowheader" | "text" | "number" | "colour" | "color"
//   call      := "calls" FUNCTION { TEXT | $PART }
//
// '#' starts a comment to the end of the line. $PART passes the current value of
// a field, toggle or label of the same frame. The grammar nests only frame ->
// cell array -> column, so parsing never recurses; sizes are bounded so that a
// hostile script ends in an error, never in a crash.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "toolkit/ui/cell_format.h"
#include "toolkit/ui/ui_model.h"
#include "toolkit/ui/zml_reader.h"

namespace zui {

namespace {

const size_t kMaxScriptBytes = 1 << 20;
const size_t kMaxPartsPerFrame = 1000;
const size_t kMaxTopLevelParts = 1000;
const size_t kMaxColumns = 256;
const size_t kMaxArguments = 32;
const size_t kMaxToggleValues = 32;
const long kMaxFrameSize = 100000;
const int32_t kDefaultFrameWidth = 800;
const int32_t kDefaultFrameHeight = 300;

// A reference to check once the frame is complete, since parts may refer to
// parts declared after them.
struct PendingReference {
    Zzml_Part *frame;
    std::string name;
    int line;
};

class Parser {
   public:
    Parser(const std::string &text, const std::string &fileName) : reader_(text, fileName) { Advance(); }

    std::unique_ptr<Zzml_ParseResult> Script(const std::string &fileName) {
        auto result = std::make_unique<Zzml_ParseResult>();
        result->fileName = fileName;
        result_ = result.get();
        while (token_.kind != TokenKind::End) {
            if (result->parts.size() >= kMaxTopLevelParts)
                reader_.Fail(token_.line, "more than " + std::to_string(kMaxTopLevelParts) + " frames and queries");
            const Token start = token_;
            if (IsWord("frame")) {
                Advance();
                result->parts.push_back(Frame(start));
            } else if (IsWord("filequery")) {
                Advance();
                result->parts.push_back(FileQuery(start));
            } else {
                Expected("'frame' or 'filequery'");
            }
        }
        for (const PendingReference &ref : references_) {
            const Zzml_Part *target = FindInFrame(ref.frame, ref.name);
            if (!target)
                reader_.Fail(ref.line, "no part named '" + ref.name + "' in frame '" + ref.frame->name + "'");
            if (target->kind != PartKind::Field && target->kind != PartKind::Toggle &&
                target->kind != PartKind::Label)
                reader_.Fail(ref.line, "part '" + ref.name + "' has no value to pass (a " +
                                           PartKindName(target->kind) + ")");
        }
        return result;
    }

   private:
    void Advance() { token_ = reader_.Next(); }
    bool IsWord(const char *word) const { return token_.kind == TokenKind::Word && token_.text == word; }

    [[noreturn]] void Expected(const std::string &what) const {
        reader_.Fail(token_.line, "expected " + what + ", found " + Describe(token_));
    }

    std::string Take(TokenKind kind, const std::string &what) {
        if (token_.kind != kind) Expected(what);
        std::string text = token_.text;
        Advance();
        return text;
    }

    void Keyword(const char *word) {
        if (!IsWord(word)) Expected(std::string("'") + word + "'");
        Advance();
    }

    std::unique_ptr<Zzml_Part> NewPart(PartKind kind, const Token &start, Zzml_Part *frame) {
        auto part = std::make_unique<Zzml_Part>();
        part->kind = kind;
        part->owner = result_;
        part->frame = frame;
        part->name = Take(TokenKind::Word, std::string("the name of the ") + PartKindName(kind));
        const bool taken = frame ? FindInFrame(frame, part->name) != nullptr
                                 : FindTopLevel(result_, part->name) != nullptr;
        if (taken) reader_.Fail(start.line, "a part named '" + part->name + "' is already declared");
        return part;
    }

    std::unique_ptr<Zzml_Part> Frame(const Token &start) {
        auto frame = NewPart(PartKind::Frame, start, nullptr);
        frame->title = Take(TokenKind::Text, "the frame's title in double quotes");
        frame->width = kDefaultFrameWidth;
        frame->height = kDefaultFrameHeight;
        while (IsWord("height") || IsWord("width")) {
            const bool height = IsWord("height");
            Advance();
            (height ? frame->height : frame->width) = Size(height ? "the frame's height" : "the frame's width");
        }
        if (token_.kind != TokenKind::Open) Expected("'{', 'height' or 'width'");
        Advance();
        while (token_.kind != TokenKind::Close) {
            if (frame->parts.size() >= kMaxPartsPerFrame)
                reader_.Fail(token_.line, "more than " + std::to_string(kMaxPartsPerFrame) + " parts in a frame");
            frame->parts.push_back(Part(frame.get()));
        }
        Advance();
        return frame;
    }

    int32_t Size(const std::string &what) {
        const Token number = token_;
        const std::string digits = Take(TokenKind::Number, what + " in pixels");
        if (digits.size() > 6 || std::stol(digits) < 1 || std::stol(digits) > kMaxFrameSize)
            reader_.Fail(number.line, what + " must be from 1 to " + std::to_string(kMaxFrameSize) + " pixels");
        return static_cast<int32_t>(std::stol(digits));
    }

    std::unique_ptr<Zzml_Part> FileQuery(const Token &start) {
        auto query = NewPart(PartKind::FileQuery, start, nullptr);
        query->title = Take(TokenKind::Text, "the query's title in double quotes");
        query->pattern = Take(TokenKind::Text, "the query's file pattern in double quotes");
        return query;
    }

    std::unique_ptr<Zzml_Part> Part(Zzml_Part *frame) {
        const Token start = token_;
        static const struct {
            const char *word;
            PartKind kind;
        } kinds[] = {{"label", PartKind::Label},   {"toggle", PartKind::Toggle},      {"field", PartKind::Field},
                     {"button", PartKind::Button}, {"cellarray", PartKind::CellArray}, {"tool", PartKind::Tool}};
        for (const auto &k : kinds) {
            if (!IsWord(k.word)) continue;
            Advance();
            auto part = NewPart(k.kind, start, frame);
            if (k.kind == PartKind::CellArray) {
                Columns(part.get());
                return part;
            }
            part->title = Take(TokenKind::Text, std::string("the ") + k.word + "'s title in double quotes");
            switch (k.kind) {
                case PartKind::Label:
                    if (token_.kind == TokenKind::Text) part->value = Take(TokenKind::Text, "");
                    break;
                case PartKind::Field:
                    if (token_.kind == TokenKind::Text) part->pattern = Take(TokenKind::Text, "");
                    break;
                case PartKind::Toggle:
                    Keyword("values");
                    do {
                        if (part->values.size() >= kMaxToggleValues)
                            reader_.Fail(token_.line, "more than " + std::to_string(kMaxToggleValues) + " values");
                        part->values.push_back(Take(TokenKind::Text, "a value in double quotes"));
                    } while (token_.kind == TokenKind::Text);
                    part->value = part->values.front();
                    if (IsWord("calls")) CallOf(part.get());
                    break;
                case PartKind::Button:
                    if (!IsWord("calls")) Expected("'calls' and the button's function");
                    CallOf(part.get());
                    break;
                case PartKind::Tool:
                    if (IsWord("calls")) CallOf(part.get());
                    break;
                default:
                    break;
            }
            return part;
        }
        Expected("a part (label, toggle, field, button, cellarray, tool) or '}'");
    }

    void CallOf(Zzml_Part *part) {
        Keyword("calls");
        part->call.function = Take(TokenKind::Word, "the name of an application function");
        while (token_.kind == TokenKind::Text || token_.kind == TokenKind::Reference) {
            if (part->call.args.size() >= kMaxArguments)
                reader_.Fail(token_.line, "more than " + std::to_string(kMaxArguments) + " arguments");
            Argument arg;
            arg.isReference = token_.kind == TokenKind::Reference;
            arg.text = token_.text;
            if (arg.isReference) references_.push_back({part->frame, arg.text, token_.line});
            part->call.args.push_back(arg);
            Advance();
        }
    }

    void Columns(Zzml_Part *part) {
        InitTable(part);
        if (token_.kind != TokenKind::Open) Expected("'{' and the table's columns");
        Advance();
        std::vector<Column> &columns = part->table->config.columns;
        while (token_.kind != TokenKind::Close) {
            if (!IsWord("column")) Expected("'column' or '}'");
            if (columns.size() >= kMaxColumns)
                reader_.Fail(token_.line, "more than " + std::to_string(kMaxColumns) + " columns");
            Advance();
            Column column;
            column.title = Take(TokenKind::Text, "the column's title in double quotes");
            if (IsWord("rowheader"))
                column.kind = ColumnKind::RowHeader;
            else if (IsWord("text"))
                column.kind = ColumnKind::Text;
            else if (IsWord("number"))
                column.kind = ColumnKind::Number;
            else if (IsWord("colour") || IsWord("color"))
                column.kind = ColumnKind::Colour;
            else
                Expected("a column kind (rowheader, text, number, colour)");
            Advance();
            if (IsWord("format")) {
                Advance();
                const Token format = token_;
                column.format = Take(TokenKind::Text, "the column's format in double quotes");
                if (column.kind != ColumnKind::Number)
                    reader_.Fail(format.line, "only number columns take a format");
                if (!NumberFormatValid(column.format))
                    reader_.Fail(format.line, "format \"" + column.format + "\" is not a number format");
            }
            columns.push_back(column);
        }
        Advance();
    }

    Reader reader_;
    Token token_;
    Zzml_ParseResult *result_ = nullptr;
    std::vector<PendingReference> references_;
};

}  // namespace

const char *PartKindName(PartKind kind) {
    switch (kind) {
        case PartKind::Frame: return "frame";
        case PartKind::FileQuery: return "filequery";
        case PartKind::Label: return "label";
        case PartKind::Toggle: return "toggle";
        case PartKind::Field: return "field";
        case PartKind::Button: return "button";
        case PartKind::CellArray: return "cellarray";
        case PartKind::Tool: return "tool";
    }
    return "part";
}

std::unique_ptr<Zzml_ParseResult> ParseScriptText(const std::string &text, const std::string &fileName,
                                                  std::string *error) {
    try {
        Parser parser(text, fileName);
        return parser.Script(fileName);
    } catch (const SyntaxError &e) {
        *error = e.message;
    } catch (const std::exception &e) {
        *error = fileName + ": " + e.what();
    }
    return nullptr;
}

std::unique_ptr<Zzml_ParseResult> ParseScriptFile(const std::string &path, std::string *error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open the UI script " + path;
        return nullptr;
    }
    std::string text;
    char block[65536];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        text.append(block, static_cast<size_t>(in.gcount()));
        if (text.size() > kMaxScriptBytes) {
            *error = path + ": larger than " + std::to_string(kMaxScriptBytes) + " bytes";
            return nullptr;
        }
    }
    if (in.bad()) {
        *error = "cannot read the UI script " + path;
        return nullptr;
    }
    return ParseScriptText(text, path, error);
}

}  // namespace zui
