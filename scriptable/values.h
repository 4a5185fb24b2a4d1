// How script values reach operations and how operations' outcomes reach page
// script. Operations see only std::string and bool; what they return is
// turned into the result variant here and nowhere else.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "npapi/npapi.h"
#include "workspace/sized_text.h"

namespace scriptable {

// The text of a String argument: its UTF8Length bytes, a NUL among them
// kept, so that no operation acts on a text cut short (each refuses one that
// holds a NUL). Always a copy; the browser's buffer is never written.
std::string TextArgument(const NPVariant& argument);

// The value of a Bool argument: any non-zero value byte is true.
bool FlagArgument(const NPVariant& argument);

// A text handed back in a buffer of a capacity fixed by the method; the text
// is cut to capacity - 1 bytes.
struct FixedCapacityText {
    uint32_t capacity;
    std::string text;
};

// Each sets the result once. A string result whose buffer the browser cannot
// give leaves the result void.
void SetResult(NPVariant& result, bool value);
void SetResult(NPVariant& result, double value);
void SetResult(NPVariant& result, const std::string& text);
void SetResult(NPVariant& result, const FixedCapacityText& text);
// Takes the browser's buffer once, at the text's size, and has the text
// written into it.
void SetResult(NPVariant& result, const workspace::SizedText& text);
void SetResult(NPVariant& result, const char* text) = delete;  // would become a bool

// An empty optional is a void result.
template <class T>
void SetResult(NPVariant& result, const std::optional<T>& value) {
    if (value) SetResult(result, *value);
}

}  // namespace scriptable
