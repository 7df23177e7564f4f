// Cutting a text that holds several SQL statements into the statements, the
// way the practice's data-connection library runs a batch.
//
// One linear pass, no copies: the pieces are views into the text.  A ";"
// ends a statement unless it stands inside a quoted literal ('it''s'), a
// double-quoted identifier, a -- comment or a /* */ comment.  Pieces without
// any SQL in them (blanks and comments only) are left out.
#pragma once

#include <cstddef>
#include <string_view>

namespace standin {

// Calls `each(piece)` for every statement of `text`, in order.  A piece is
// trimmed of surrounding blanks and line breaks and never empty.
template <class Each>
void for_each_statement(std::string_view text, Each&& each) {
    const char* p = text.data();
    const char* const end = p + text.size();
    const char* first_code = nullptr;  // first character of SQL in the piece
    const char* last_code = nullptr;   // one past the last one
    auto emit = [&] {
        if (first_code) each(std::string_view(first_code, static_cast<std::size_t>(last_code - first_code)));
        first_code = last_code = nullptr;
    };
    auto code = [&](const char* from, const char* to) {
        if (!first_code) first_code = from;
        last_code = to;
    };
    while (p < end) {
        const char c = *p;
        if (c == ';') {
            emit();
            ++p;
        } else if (c == '\'' || c == '"') {
            // A doubled quote closes and reopens at once, so it needs no case
            // of its own.  An unclosed quote runs to the end of the text.
            const char* q = p + 1;
            while (q < end && *q != c) ++q;
            if (q < end) ++q;
            code(p, q);
            p = q;
        } else if (c == '-' && p + 1 < end && p[1] == '-') {
            while (p < end && *p != '\n') ++p;
        } else if (c == '/' && p + 1 < end && p[1] == '*') {
            const char* q = p + 2;
            while (q + 1 < end && !(q[0] == '*' && q[1] == '/')) ++q;
            p = q + 1 < end ? q + 2 : end;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            ++p;
        } else {
            code(p, p + 1);
            ++p;
        }
    }
    emit();
}

// True when the statement is the given lower-case word, in any mix of cases
// ("commit", "COMMIT").
inline bool is_word(std::string_view piece, std::string_view lower_word) {
    if (piece.size() != lower_word.size()) return false;
    for (std::size_t i = 0; i < piece.size(); ++i) {
        char c = piece[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lower_word[i]) return false;
    }
    return true;
}

}  // namespace standin

namespace standin {

// SQLite reads LEFT only as the join keyword, so the practice's left(text, n)
// is a syntax error there unless the name is quoted.  Writes the statement
// with every call of left( quoted as "left"( into `out` and returns true, or
// returns false (leaving `out` alone) when the statement calls no left().
inline bool quote_left_calls(std::string_view piece, std::string& out) {
    auto is_name_char = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
               static_cast<unsigned char>(c) >= 0x80;
    };
    const std::size_t n = piece.size();
    std::size_t copied = 0;  // piece[0, copied) is in out already
    bool found = false;
    for (std::size_t i = 0; i < n;) {
        const char c = piece[i];
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            const char close = c == '[' ? ']' : c;
            std::size_t j = i + 1;
            while (j < n && piece[j] != close) ++j;
            i = j < n ? j + 1 : n;
        } else if (c == '-' && i + 1 < n && piece[i + 1] == '-') {
            while (i < n && piece[i] != '\n') ++i;
        } else if (c == '/' && i + 1 < n && piece[i + 1] == '*') {
            std::size_t j = i + 2;
            while (j + 1 < n && !(piece[j] == '*' && piece[j + 1] == '/')) ++j;
            i = j + 1 < n ? j + 2 : n;
        } else if (is_name_char(c)) {
            std::size_t j = i;
            while (j < n && is_name_char(piece[j])) ++j;
            std::size_t k = j;
            while (k < n && (piece[k] == ' ' || piece[k] == '\t' || piece[k] == '\r' || piece[k] == '\n')) ++k;
            if (j - i == 4 && is_word(piece.substr(i, 4), "left") && k < n && piece[k] == '(') {
                if (!found) out.clear();
                found = true;
                out.append(piece.substr(copied, i - copied));
                out += '"';
                out.append(piece.substr(i, 4));
                out += '"';
                copied = j;
            }
            i = j;
        } else {
            ++i;
        }
    }
    if (found) out.append(piece.substr(copied));
    return found;
}

}  // namespace standin
