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

// What a script argument is to its method: a level of the workspace path
// (which the host orders its calls by), or what else it carries.
enum class ParameterRole { Outer, Inner, Workspace, Path, Key, Value, Flag, Text };

struct ParameterDoc {
    const char* name = nullptr;  // null past the last argument
    ParameterRole role = ParameterRole::Text;
};

// The parameters most rows share.
inline constexpr ParameterDoc kOuterName{"outerName", ParameterRole::Outer};
inline constexpr ParameterDoc kInnerName{"innerName", ParameterRole::Inner};
inline constexpr ParameterDoc kWorkspaceName{"workspaceName", ParameterRole::Workspace};
inline constexpr ParameterDoc kKey{"key", ParameterRole::Key};
inline constexpr ParameterDoc kValue{"value", ParameterRole::Value};
inline constexpr ParameterDoc kWs{"ws", ParameterRole::Flag};
inline constexpr ParameterDoc kExchangeFolder{"exchangeFolder", ParameterRole::Path};

// Whether a method may take long (it walks a tree, reads a whole call file or
// searches a folder): the extension's host runs such calls beside the others,
// and the reference lists them.
enum class Pace { Quick, Long };

// What a page author needs besides the name and the types.
struct MethodDoc {
    MethodGroup group;
    std::array<ParameterDoc, kMaxArguments> parameters;  // one per script argument
    const char* summary;   // what the method does, in a sentence or two
    const char* failures;  // each failure result and when it comes; "" for none
    // What the method gives when Windows refuses a call it makes.
    const char* refused = "";
    Pace pace = Pace::Quick;
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
    std::span<const ParameterDoc> Parameters() const {
        return {doc.parameters.data(), argumentCount};
    }
};

std::span<const MethodRow> Methods();

// The row whose name equals `name` byte for byte, or null.
const MethodRow* FindMethod(std::string_view name);

}  // namespace scriptable
