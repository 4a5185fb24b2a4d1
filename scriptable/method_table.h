// The script API: one table of method names, argument signatures and
// operations. Lookup, argument checks and the dispatch all read it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "shell/npapi.h"

namespace scriptable {

struct MyScriptableNPObject;

// The only argument types a method takes.
enum class ArgType : int32_t {
    Bool = NPVariantType_Bool,
    String = NPVariantType_String,
};

constexpr size_t kMaxArguments = 5;

// Reads the checked arguments, runs the operation and sets its result.
using Operation = void (*)(MyScriptableNPObject& object, const NPVariant* args, NPVariant& result);

struct MethodRow {
    const char* name;
    uint32_t argumentCount;
    std::array<ArgType, kMaxArguments> argumentTypes;
    Operation operation;

    // Exact count, then the exact type of each argument in order.
    bool Accepts(const NPVariant* args, uint32_t argCount) const;
};

std::span<const MethodRow> Methods();

// The row whose name equals `name` byte for byte, or null.
const MethodRow* FindMethod(std::string_view name);

}  // namespace scriptable
