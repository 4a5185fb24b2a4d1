// The workspace name rule on any names: a path composed from names the rule
// accepts stays inside the workspace set folder, one level per name; a name
// it refuses composes no path, and no accepted name is one Windows reads as
// another (a device, or a name it strips a final dot or space from).
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/require.h"
#include "workspace/workspace_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Up to three names, separated in the input by 0xFF bytes.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> names;
    for (size_t at = 0; names.size() < 3;) {
        const size_t end = input.find('\xFF', at);
        names.emplace_back(input.substr(at, end == std::string_view::npos ? end : end - at));
        if (end == std::string_view::npos) break;
        at = end + 1;
    }
    while (names.size() < 3) names.emplace_back("n");

    const std::string appData = "C:\\Users\\u\\AppData\\Local";
    const std::string root = appData + "\\Dravenil\\Workspaces";
    const auto path = workspace::ComposeWorkspacePath(appData, {names[0], names[1], names[2]});
    bool accepted = true;
    for (const std::string& name : names) accepted = accepted && workspace::IsAcceptableName(name);
    if (!accepted) {
        Require(path.status == workspace::WorkspacePath::Status::Refused && path.text.empty());
        return 0;
    }
    if (!path) {
        Require(root.size() + 3 + names[0].size() + names[1].size() + names[2].size() > 259);
        return 0;
    }
    Require(path.text.size() <= 259);
    Require(path.text.compare(0, root.size() + 1, root + "\\") == 0);
    // Exactly three levels below the root, each one of the names, none of
    // them a step up, a drive, a stream or a wildcard.
    std::vector<std::string> levels;
    for (size_t at = root.size() + 1;;) {
        const size_t end = path.text.find('\\', at);
        levels.push_back(path.text.substr(at, end == std::string::npos ? end : end - at));
        if (end == std::string::npos) break;
        at = end + 1;
    }
    Require(levels == names);
    for (const std::string& level : levels) {
        Require(level.find_first_not_of(". ") != std::string::npos);
        Require(level.find_first_of("/:*?\"<>|") == std::string::npos);
        for (const char c : level) Require(static_cast<unsigned char>(c) >= 0x20);
        // Nothing Windows would read as another name: no final dot or space,
        // no device whatever its extension.
        Require(level.back() != '.' && level.back() != ' ');
        std::string stem = level.substr(0, level.find('.'));
        while (!stem.empty() && stem.back() == ' ') stem.pop_back();
        for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const bool port = stem.size() == 4 &&
                          (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) &&
                          stem[3] >= '1' && stem[3] <= '9';
        Require(!port && stem != "CON" && stem != "PRN" && stem != "AUX" && stem != "NUL" &&
                stem != "CONIN$" && stem != "CONOUT$");
    }
    return 0;
}
