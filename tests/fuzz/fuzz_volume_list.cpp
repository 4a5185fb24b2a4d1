// The volume list over any section list: one bracketed item per entry with
// an "=", in order, up to the first empty entry; well formed whenever the
// keys and values hold no brackets themselves.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tests/fuzz/require.h"
#include "workspace/list_texts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view list(reinterpret_cast<const char*>(data), size);
    const std::string text = workspace::VolumeListText(list);
    Require(text.size() >= 2 && text.front() == '[' && text.back() == ']');

    std::string expected = "[";
    for (size_t at = 0; at < list.size();) {
        size_t end = list.find('\0', at);
        if (end == std::string_view::npos) end = list.size();
        if (end == at) break;
        const std::string entry(list.substr(at, end - at));
        at = end + 1;
        const size_t eq = entry.find('=');
        if (eq == std::string::npos) continue;
        std::string item = entry;
        item[eq] = ',';
        expected += (expected.size() > 1 ? ",[" : "[") + item + "]";
    }
    Require(text == expected + "]");

    if (list.find_first_of("[]") == std::string_view::npos) {
        int depth = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '[') ++depth;
            if (text[i] == ']') --depth;
            Require(depth >= 0 && depth <= 2);
            Require(depth > 0 || i + 1 == text.size());
        }
        Require(depth == 0);
    }
    return 0;
}
