#include "workspace/list_texts.h"

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
    std::string text;
    // Each entry gains two brackets and a comma.
    text.reserve(sectionList.size() + sectionList.size() / 2 + 2);
    text += '[';
    // The parse keeps its own position: nothing outlives the call.
    size_t position = 0;
    while (position < sectionList.size()) {
        size_t end = sectionList.find('\0', position);
        if (end == std::string_view::npos) end = sectionList.size();
        const std::string_view entry = sectionList.substr(position, end - position);
        if (entry.empty()) break;
        position = end + 1;
        const size_t equals = entry.find('=');
        if (equals == std::string_view::npos) continue;
        if (text.size() > 1) text += ',';
        text.append(1, '[')
            .append(entry.substr(0, equals))
            .append(1, ',')
            .append(entry.substr(equals + 1))
            .append(1, ']');
    }
    text += ']';
    return text;
}

}  // namespace workspace
