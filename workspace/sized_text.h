// A text result written straight into the browser's buffer that will hold
// it: its exact size first, then the bytes, so that a large text is never
// built twice.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace workspace {

struct SizedText {
    size_t size = 0;
    // Writes exactly `size` bytes.
    std::function<void(char*)> write;

    static SizedText Of(std::string text) {
        auto kept = std::make_shared<const std::string>(std::move(text));
        return {kept->size(), [kept](char* out) { kept->copy(out, kept->size()); }};
    }
};

}  // namespace workspace
