#include "workspace/list_texts.h"

#include <cstring>

namespace workspace {
std::string QuotedNameList(const std::vector<std::string>& names) {
    std::string list = "[";
    for (const std::string& name : names) {
        if (list.size() > 1) list += ',';
        AppendQuoted(list, name);
    }
    list += ']';
    return list;
}

std::string MissingCallsText(std::string_view callList,
                             const std::unordered_set<std::string>& present) {
    std::string missing;
    std::string name;
    for (size_t start = 0; start <= callList.size();) {
        size_t end = callList.find(',', start);
        if (end == std::string_view::npos) end = callList.size();
        if (end > start) {
            name.assign(callList.substr(start, end - start));
            if (!present.count(name)) {
                if (!missing.empty()) missing += ',';
                missing += name;
            }
        }
        start = end + 1;
    }
    return missing;
}

std::string FileNamesText(const std::vector<std::string>& fileNames, std::string_view suffix) {
    std::string names;
    if (suffix.size() != 4) return names;
    for (const std::string& name : fileNames) {
        if (name.size() < 4 || std::string_view(name).substr(name.size() - 4) != suffix) continue;
        if (!names.empty()) names += ',';
        names += name;
    }
    return names;
}

std::string VolumeListText(std::string_view sectionList) {
    // Each entry "k=v" becomes ",[k,v]": three bytes more than the entry,
    // whose NUL (absent after the last) counts one. Entries hold a byte at
    // least, so 2.5 times the list's size and the outer brackets always
    // suffice. The text is written in place, one copy per entry, then cut to
    // what was written.
    std::string text(sectionList.size() * 3 + 4, '\0');
    char* out = text.data();
    *out++ = '[';
    const char* at = sectionList.data();
    const char* const end = at + sectionList.size();
    while (at < end) {
        const auto* nul = static_cast<const char*>(std::memchr(at, '\0', end - at));
        const char* const entryEnd = nul ? nul : end;
        const size_t length = static_cast<size_t>(entryEnd - at);
        if (length == 0) break;  // the empty entry ends the list
        if (const auto* equals = static_cast<const char*>(std::memchr(at, '=', length))) {
            if (out - text.data() > 1) *out++ = ',';
            *out++ = '[';
            std::memcpy(out, at, length);
            out[equals - at] = ',';  // only the first "=" becomes a comma
            out += length;
            *out++ = ']';
        }
        at = entryEnd + 1;
    }
    *out++ = ']';
    text.resize(static_cast<size_t>(out - text.data()));
    return text;
}

}  // namespace workspace
