// The product's version, "a.b.c.d", from the one identity header.
#pragma once

#include <string>

#include "shell/identity.h"

namespace messaging {

inline std::string ProductVersion() {
#define PRODUCT_VERSION_QUOTE(...) #__VA_ARGS__
#define PRODUCT_VERSION_TEXT(...) PRODUCT_VERSION_QUOTE(__VA_ARGS__)
    const std::string text = PRODUCT_VERSION_TEXT(PLUGIN_VERSION_NUMBERS);
#undef PRODUCT_VERSION_TEXT
#undef PRODUCT_VERSION_QUOTE
    std::string version;
    for (const char c : text) {
        if (c != ' ') version += c == ',' ? '.' : c;
    }
    return version;
}

}  // namespace messaging
