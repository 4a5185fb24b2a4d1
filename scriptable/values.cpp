#include "scriptable/values.h"

#include <cstring>

#include "scriptable/browser_functions.h"
#include "workspace/list_texts.h"

namespace scriptable {
namespace {

// Copies `length` bytes of `text` into a browser buffer of `capacity` bytes
// (capacity > length) and hands it to the result.
void SetStringBuffer(NPVariant& result, const char* text, uint32_t length, uint32_t capacity) {
    auto* buffer = static_cast<char*>(BrowserMemAlloc(capacity));
    if (!buffer) return;
    std::memcpy(buffer, text, length);
    std::memset(buffer + length, 0, capacity - length);
    result.type = NPVariantType_String;
    result.value.stringValue.UTF8Characters = buffer;
    result.value.stringValue.UTF8Length = static_cast<uint32_t>(std::strlen(buffer));
}

}  // namespace

std::string TextArgument(const NPVariant& argument) {
    const NPString& s = argument.value.stringValue;
    if (!s.UTF8Characters) return {};
    return std::string(s.UTF8Characters, s.UTF8Length);
}

bool FlagArgument(const NPVariant& argument) {
    // Read the byte itself: a browser may hand over any non-zero value.
    unsigned char byte = 0;
    std::memcpy(&byte, &argument.value, 1);
    return byte != 0;
}

void SetResult(NPVariant& result, bool value) {
    result.type = NPVariantType_Bool;
    result.value.boolValue = value;
}

void SetResult(NPVariant& result, double value) {
    result.type = NPVariantType_Double;
    result.value.doubleValue = value;
}

void SetResult(NPVariant& result, const std::string& text) {
    if (text.size() >= UINT32_MAX) return;
    const auto length = static_cast<uint32_t>(text.size());
    SetStringBuffer(result, text.data(), length, length + 1);
}

void SetResult(NPVariant& result, const workspace::SizedText& text) {
    if (text.size >= UINT32_MAX || !text.write) return;
    const auto length = static_cast<uint32_t>(text.size);
    auto* buffer = static_cast<char*>(BrowserMemAlloc(length + 1));
    if (!buffer) return;
    text.write(buffer);
    buffer[length] = '\0';
    result.type = NPVariantType_String;
    result.value.stringValue.UTF8Characters = buffer;
    // Like every string result, the text ends at a NUL it holds.
    result.value.stringValue.UTF8Length = static_cast<uint32_t>(workspace::FindNul(buffer, length));
}

void SetResult(NPVariant& result, const FixedCapacityText& text) {
    if (text.capacity == 0) return;
    const auto length = static_cast<uint32_t>(text.text.size() < text.capacity ? text.text.size()
                                                                               : text.capacity - 1);
    SetStringBuffer(result, text.text.data(), length, text.capacity);
}

}  // namespace scriptable
