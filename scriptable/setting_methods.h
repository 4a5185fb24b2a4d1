// Method-table rows for the settings of Workspace.ini: each row names its
// method, section, key and read capacity, and runs one of the two shared
// operations, WriteWorkspaceSetting or ReadWorkspaceSetting. The first three
// arguments are the outer name, the workspace name and the inner name; a row
// whose key is "" takes the key as the fourth argument; a write takes the
// value last.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/trace.h"
#include "scriptable/operation_binding.h"
#include "workspace/workspace_settings.h"

namespace scriptable {

// A text fixed at compile time, usable as a template argument.
template <size_t N>
struct FixedText {
    char text[N];
    consteval FixedText(const char (&s)[N]) {
        for (size_t i = 0; i < N; ++i) text[i] = s[i];
    }
    constexpr bool Empty() const { return N == 1; }
};

// The key is the argument after the three workspace names.
inline constexpr FixedText kKeyArgument = "";

template <size_t A, size_t B>
consteval FixedText<A + B - 1> Concatenate(const FixedText<A>& a, const FixedText<B>& b) {
    char text[A + B - 1] = {};
    for (size_t i = 0; i + 1 < A; ++i) text[i] = a.text[i];
    for (size_t i = 0; i < B; ++i) text[A - 1 + i] = b.text[i];
    return FixedText<A + B - 1>(text);
}

// "MyScriptableNPObject::" and the name, as every operation traces itself.
template <FixedText Name>
inline constexpr auto kTraceName = Concatenate(FixedText("MyScriptableNPObject::"), Name);

template <FixedText Section, FixedText Key, FixedText TraceAs>
void WriteSettingOperation(MyScriptableNPObject&, const NPVariant* args, NPVariant& result) {
    const TraceScope trace(kTraceName<TraceAs>.text);
    const std::string key = Key.Empty() ? TextArgument(args[3]) : std::string(Key.text);
    const NPVariant& value = args[Key.Empty() ? 4 : 3];
    SetResult(result, workspace::WriteWorkspaceSetting(TextArgument(args[0]), TextArgument(args[1]),
                                                       TextArgument(args[2]), Section.text, key,
                                                       TextArgument(value)));
}

template <FixedText Section, FixedText Key, uint32_t Capacity, FixedText TraceAs>
void ReadSettingOperation(MyScriptableNPObject&, const NPVariant* args, NPVariant& result) {
    const TraceScope trace(kTraceName<TraceAs>.text);
    const std::string key = Key.Empty() ? TextArgument(args[3]) : std::string(Key.text);
    const auto value =
        workspace::ReadWorkspaceSetting(TextArgument(args[0]), TextArgument(args[1]),
                                        TextArgument(args[2]), Section.text, key, Capacity);
    if (value) SetResult(result, FixedCapacityText{Capacity, *value});
}

constexpr ArgType kS = ArgType::String;

// The results page script sees, from what the two operations return.
constexpr const char* kWriteResult =
    ResultType<decltype(workspace::WriteWorkspaceSetting({}, {}, {}, {}, {}, {}))>::kName;
constexpr const char* kReadResult =
    ResultType<decltype(workspace::ReadWorkspaceSetting({}, {}, {}, {}, {}, 0))>::kName;

constexpr const char* kWriteFailures =
    "false when the value was not stored: the workspace folder does not exist, a name is "
    "refused, the key is blank, holds \"=\" or a control character or starts with \"[\" or "
    "\";\" (after any blanks), or the key or value holds a line break or a NUL";
constexpr const char* kReadFailures =
    "\"\" when the file, section or key is missing, a name is refused or the key could not be "
    "stored; undefined when there is no local application-data folder";

// Writes the value; the result is true when it was stored.
template <FixedText Name, FixedText Section, FixedText Key, FixedText TraceAs = Name>
consteval MethodRow WriteSetting(const char* summary) {
    return MethodRow{
        Name.text,
        Key.Empty() ? 5u : 4u,
        Key.Empty() ? Signature({kS, kS, kS, kS, kS}) : Signature({kS, kS, kS, kS}),
        &WriteSettingOperation<Section, Key, TraceAs>,
        kWriteResult,
        {MethodGroup::Settings,
         Key.Empty() ? std::array<ParameterDoc, kMaxArguments>{kOuterName, kWorkspaceName,
                                                               kInnerName, kKey, kValue}
                     : std::array<ParameterDoc, kMaxArguments>{kOuterName, kWorkspaceName,
                                                               kInnerName, kValue},
         summary, kWriteFailures, "false"},
        {Section.text, Key.Empty() ? nullptr : Key.text, 0}};
}

// Reads the value into a buffer of `Capacity` bytes.
template <FixedText Name, FixedText Section, FixedText Key, uint32_t Capacity = 10>
consteval MethodRow ReadSetting(const char* summary) {
    return MethodRow{
        Name.text,
        Key.Empty() ? 4u : 3u,
        Key.Empty() ? Signature({kS, kS, kS, kS}) : Signature({kS, kS, kS}),
        &ReadSettingOperation<Section, Key, Capacity, Name>,
        kReadResult,
        {MethodGroup::Settings,
         Key.Empty()
             ? std::array<ParameterDoc, kMaxArguments>{kOuterName, kWorkspaceName, kInnerName, kKey}
             : std::array<ParameterDoc, kMaxArguments>{kOuterName, kWorkspaceName, kInnerName},
         summary, kReadFailures, "\"\" (undefined without a local application-data folder)"},
        {Section.text, Key.Empty() ? nullptr : Key.text, Capacity}};
}

}  // namespace scriptable
