// Strings, string lists and text helpers. Texts handed out are toolkit heap
// blocks (kind "heap"), freed with zmsc_HeapFree.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/core/core_support.h"
#include "toolkit/core/instrument.h"
#include "zstr.h"
#include "ztxt.h"

struct Zstr_StringList {
    std::vector<std::string> items;
};

namespace {

int lowerAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }

int sign(int value) { return (value > 0) - (value < 0); }

// The UTF-8 character at text[at]: its code point and byte count; a count of
// 0 when no valid character starts there.
std::pair<unsigned, size_t> CharacterAt(const std::string &text, size_t at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return {lead, 1};
    const size_t count = lead >= 0xF0 && lead < 0xF8 ? 4 : lead >= 0xE0 && lead < 0xF0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (count == 0 || at + count > text.size()) return {0, 0};
    unsigned code = lead & (0x7Fu >> count);
    for (size_t i = 1; i < count; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) return {0, 0};
        code = code << 6 | (next & 0x3Fu);
    }
    return {code, count};
}

bool Invisible(unsigned code) {
    return (code >= 0x80 && code <= 0xA0) || code == 0xAD || (code >= 0x200B && code <= 0x200F) ||
           (code >= 0x2028 && code <= 0x202F) || (code >= 0x2060 && code <= 0x2064) || code == 0xFEFF;
}

}  // namespace

std::string zhc::QuotedForError(const std::string &text) {
    std::string quoted = "\"";
    size_t at = 0;
    char escape[16];
    for (int shown = 0; at < text.size() && shown < 80; ++shown) {
        const std::pair<unsigned, size_t> character = CharacterAt(text, at);
        if (character.second == 0 || character.first < 0x20 || character.first == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(text[at]));
            quoted += escape;
            at += 1;
            continue;
        }
        if (Invisible(character.first)) {
            std::snprintf(escape, sizeof escape, "\\u{%04X}", character.first);
            quoted += escape;
        } else {
            quoted.append(text, at, character.second);
        }
        at += character.second;
    }
    quoted += '"';
    if (at < text.size()) quoted += "... (" + std::to_string(text.size()) + " bytes)";
    return quoted;
}

char *zstr_Duplicate(const char *text) {
    if (zhc::FaultHit("zstr_Duplicate", nullptr)) return nullptr;
    return zhc::HeapText(text);
}

int32_t zstr_Eqic(const char *a, const char *b) {
    zhc::CountCall("zstr_Eqic");
    if (!a || !b) return 0;
    for (; *a && *b; ++a, ++b) {
        if (lowerAscii(static_cast<unsigned char>(*a)) != lowerAscii(static_cast<unsigned char>(*b))) return 0;
    }
    return *a == *b;
}

int32_t zstr_CompareString(const char *a, const char *b) {
    zhc::CountCall("zstr_CompareString");
    if (!a || !b) return (a != nullptr) - (b != nullptr);
    return sign(std::strcmp(a, b));
}

char *zstr_Sprintf(char *buffer, const char *format, Zerr_Report **err, ...) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zstr_Sprintf", err)) return nullptr;
    if (!format) {
        zhc::Fail(err, "zstr_Sprintf", __LINE__, nullptr, "No format given.");
        return nullptr;
    }
    va_list args;
    va_start(args, err);
    const std::string text = zhc::FormatV(format, args);
    va_end(args);
    if (buffer) {
        std::memcpy(buffer, text.c_str(), text.size() + 1);
        return buffer;
    }
    char *copy = zhc::HeapText(text.c_str());
    if (!copy) zhc::Fail(err, "zstr_Sprintf", __LINE__, nullptr, "Out of memory.");
    return copy;
}

int32_t zstr_CharCount(const char *text, char ch) {
    zhc::CountCall("zstr_CharCount");
    int32_t count = 0;
    if (text) {
        for (; *text; ++text) count += (*text == ch);
    }
    return count;
}

Zstr_StringList *zstr_StringListAppend(Zstr_StringList *list, const char *text, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zstr_StringListAppend", err)) return list;
    if (!text) {
        zhc::Fail(err, "zstr_StringListAppend", __LINE__, nullptr, "No text given.");
        return list;
    }
    if (!list) {
        list = new Zstr_StringList;
        zhc::LiveAdd("stringlist");
    }
    list->items.emplace_back(text);
    return list;
}

int32_t zstr_StringListCount(const Zstr_StringList *list) {
    zhc::CountCall("zstr_StringListCount");
    return list ? static_cast<int32_t>(list->items.size()) : 0;
}

const char *zstr_StringListGet(const Zstr_StringList *list, int32_t index) {
    zhc::CountCall("zstr_StringListGet");
    if (!list || index < 0 || static_cast<size_t>(index) >= list->items.size()) return nullptr;
    return list->items[static_cast<size_t>(index)].c_str();
}

void zstr_StringListDelete(Zstr_StringList **list, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (!list || !*list) return;
    // An injected failure still releases the list (see zdlm_FreeList).
    zhc::FaultHit("zstr_StringListDelete", err);
    delete *list;
    *list = nullptr;
    zhc::LiveRemove("stringlist");
}

int32_t ztxt_Text_strcmp(const char *a, const char *b) {
    zhc::CountCall("ztxt_Text_strcmp");
    if (!a && !b) return 0;
    if (!a || !b) return 1;
    return sign(std::strcmp(a, b));
}

int32_t ztxt_Text_sprintf(char *buffer, const char *format, ...) {
    zhc::CountCall("ztxt_Text_sprintf");
    if (!buffer) return 0;
    va_list args;
    va_start(args, format);
    const std::string text = zhc::FormatV(format, args);
    va_end(args);
    const size_t length = text.size() < 255 ? text.size() : 255;
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return static_cast<int32_t>(length);
}
