#include "update/data_line.h"

#include <cstring>
#include <new>

#include "toolkit/toolkit.h"

namespace tn {

namespace {

// The slot for the next entry.  Strings already in `entries` keep their
// storage, so a loader that splits every line into the same list allocates
// only while its lines grow.
std::string& next_entry(StrArray& entries, std::size_t& count) {
    if (count == entries.size()) entries.emplace_back();
    return entries[count++];
}

// `text` between single quotes, with every single quote inside doubled: the
// loaders paste entries into SQL as they are, so a stray quote must not end
// the literal early.
void quote_into(std::string& entry, const char* text, std::size_t length) {
    entry.assign(1, '\'');
    const char* end = text + length;
    while (const void* found = std::memchr(text, '\'', static_cast<std::size_t>(end - text))) {
        const char* quote = static_cast<const char*>(found);
        entry.append(text, static_cast<std::size_t>(quote - text) + 1);
        entry += '\'';
        text = quote + 1;
    }
    entry.append(text, static_cast<std::size_t>(end - text));
    entry += '\'';
}

}  // namespace

void riga2array(std::string_view line, StrArray& entries) {
    std::size_t count = 0;     // slots handed out
    std::size_t complete = 0;  // entries written in full
    try {
        const char* const data = line.data();
        const std::size_t size = line.size();
        std::size_t start = 0;  // first character of the current value
        while (start < size) {
            const char first = data[start];
            if (first == ',') {
                next_entry(entries, count).assign("NULL");
                complete = count;
                ++start;
                continue;
            }
            if (first != '\'') {
                const void* comma = std::memchr(data + start, ',', size - start);
                const std::size_t end = comma ? static_cast<std::size_t>(static_cast<const char*>(comma) - data) : size;
                const std::size_t length = end - start;
                std::string& entry = next_entry(entries, count);
                if (length == 6 && std::memcmp(data + start, "(NULL)", 6) == 0)
                    entry.assign("NULL");
                else
                    quote_into(entry, data + start, length);
                complete = count;
                start = end + 1;
                continue;
            }
            // A quoted value.  Only quotes matter inside it: a quote before a
            // comma or at the end of the line closes it, two quotes stand for
            // one, and a lone quote is doubled on its way into the entry.
            std::size_t pos = start + 1;
            std::size_t copied = start;  // text up to here is already in `pending`
            std::string* pending = nullptr;
            bool closed = false;
            while (pos < size) {
                const void* found = std::memchr(data + pos, '\'', size - pos);
                if (!found) break;
                const std::size_t quote = static_cast<std::size_t>(static_cast<const char*>(found) - data);
                if (quote + 1 == size || data[quote + 1] == ',') {
                    std::string& entry = pending ? *pending : next_entry(entries, count);
                    if (pending)
                        entry.append(data + copied, quote + 1 - copied);
                    else
                        entry.assign(data + start, quote + 1 - start);
                    complete = count;
                    start = quote + 2;
                    closed = true;
                    break;
                }
                if (data[quote + 1] == '\'') {
                    pos = quote + 2;
                    continue;
                }
                if (!pending) {
                    pending = &next_entry(entries, count);
                    pending->clear();
                }
                pending->append(data + copied, quote + 1 - copied);
                *pending += '\'';
                copied = quote + 1;
                pos = quote + 1;
            }
            if (!closed) break;  // left open at the end of the line: no entry
        }
        entries.resize(complete);
    } catch (const std::bad_alloc&) {
        entries.resize(complete);
        toolkit::show_message("tn_sql_exec.riga2array(): eccezione");
    }
}

StrArray riga2array(std::string_view line) {
    StrArray entries;
    riga2array(line, entries);
    return entries;
}

std::string unquote_value(std::string_view value) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!value.empty() && blank(value.front())) value.remove_prefix(1);
    while (!value.empty() && blank(value.back())) value.remove_suffix(1);
    if (value.size() > 2 && value.front() == '\'' && value.back() == '\'') value = value.substr(1, value.size() - 2);
    return std::string(value);
}

bool is_null_value(std::string_view value) {
    if (value.empty() || value == "''") return true;
    if (value.size() != 4) return false;
    static constexpr char null_word[] = "NULL";
    for (std::size_t i = 0; i < 4; ++i) {
        const char c = value[i];
        const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        if (upper != null_word[i]) return false;
    }
    return true;
}

}  // namespace tn
