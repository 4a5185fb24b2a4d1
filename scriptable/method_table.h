// The script API: one table of method names, argument signatures and
// operations. Lookup, argument checks and the dispatch all read it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "npapi/npapi.h"

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

// How page authors find the methods in the reference.
enum class MethodGroup { ReplayControl, Workspaces, Calls, Settings, HostUtilities };

// What a page author needs besides the name and the types.
struct MethodDoc {
    MethodGroup group;
    const char* parameters;  // the script arguments' names, separated by ", "
    const char* summary;     // what the method does, in a sentence or two
    const char* failures;    // each failure result and when it comes; "" for none
    // What the method gives when Windows refuses a call it makes.
    const char* refused = "";
};

// The stored setting a settings row reads or writes.
struct SettingDoc {
    const char* section = nullptr;  // null for every other row
    const char* key = nullptr;      // null: the key is an argument
    uint32_t readCapacity = 0;      // 0 for a write
};

struct MethodRow {
    const char* name;
    uint32_t argumentCount;
    std::array<ArgType, kMaxArguments> argumentTypes;
    Operation operation;
    // The result page script receives, in TypeScript's terms; derived from
    // the operation's return type.
    const char* resultType;
    MethodDoc doc;
    SettingDoc setting;

    // Exact count, then the exact type of each argument in order.
    bool Accepts(const NPVariant* args, uint32_t argCount) const;
};

std::span<const MethodRow> Methods();

// The row whose name equals `name` byte for byte, or null.
const MethodRow* FindMethod(std::string_view name);

}  // namespace scriptable
