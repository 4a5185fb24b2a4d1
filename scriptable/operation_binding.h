// Turns an operation, a plain function of std::string and bool parameters,
// into a method-table row. The row's argument signature is checked at
// compile time against the operation's parameter list, so the two cannot
// drift apart; the operation's return value becomes the result.
#pragma once

#include <array>
#include <initializer_list>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "exchange/exchange_files.h"
#include "npapi/progress_sink.h"
#include "scriptable/browser_functions.h"
#include "scriptable/method_table.h"
#include "scriptable/scriptable_object.h"
#include "scriptable/values.h"
#include "workspace/walk_progress.h"

namespace scriptable {

// How one operation parameter is supplied: from a script argument, or from
// the object's own state.
template <class P>
struct Parameter;

template <>
struct Parameter<bool> {
    static constexpr bool kFromScript = true;
    static constexpr ArgType kType = ArgType::Bool;
    static bool Get(MyScriptableNPObject&, const NPVariant& arg) { return FlagArgument(arg); }
};

template <>
struct Parameter<const std::string&> {
    static constexpr bool kFromScript = true;
    static constexpr ArgType kType = ArgType::String;
    static std::string Get(MyScriptableNPObject&, const NPVariant& arg) {
        return TextArgument(arg);
    }
};

template <>
struct Parameter<exchange::ExchangeFiles&> {
    static constexpr bool kFromScript = false;
    static constexpr ArgType kType = ArgType::Bool;  // unused
    static exchange::ExchangeFiles& Get(MyScriptableNPObject& object, const NPVariant&) {
        return object.exchange;
    }
};

// The browser's progress sink for the call, when it follows long methods.
template <>
struct Parameter<const workspace::ProgressFunction&> {
    static constexpr bool kFromScript = false;
    static constexpr ArgType kType = ArgType::Bool;  // unused
    static workspace::ProgressFunction Get(MyScriptableNPObject& object, const NPVariant&) {
        ProgressSink sink;
        if (!BrowserProgressSink(object.npp, sink)) return {};
        return [sink](const workspace::WalkProgress& now) {
            const ProgressReport report{now.entriesDone, now.bytesDone, now.entriesTotal,
                                        now.bytesTotal, now.totalsKnown ? 1u : 0u};
            return sink.report(sink.context, &report) != 0;
        };
    }
};

// The TypeScript type of the result an operation's return value becomes; an
// empty optional leaves the result void, which page script sees as undefined.
template <class R>
struct ResultType;
template <>
struct ResultType<bool> {
    static constexpr const char* kName = "boolean";
    static constexpr const char* kOrVoid = "boolean | undefined";
};
template <>
struct ResultType<double> {
    static constexpr const char* kName = "number";
    static constexpr const char* kOrVoid = "number | undefined";
};
template <>
struct ResultType<std::string> {
    static constexpr const char* kName = "string";
    static constexpr const char* kOrVoid = "string | undefined";
};
template <>
struct ResultType<workspace::SizedText> {
    static constexpr const char* kName = "string";
    static constexpr const char* kOrVoid = "string | undefined";
};

template <class T>
struct ResultType<std::optional<T>> {
    static constexpr const char* kName = ResultType<T>::kOrVoid;
};

// Counts the named parameters, which come first.
constexpr size_t CountNames(const std::array<ParameterDoc, kMaxArguments>& parameters) {
    size_t count = 0;
    while (count < parameters.size() && parameters[count].name) ++count;
    for (size_t i = count; i < parameters.size(); ++i) {
        if (parameters[i].name) throw "a parameter without a name before a named one";
    }
    return count;
}

template <class F>
struct Binding;

template <class R, class... P>
struct Binding<R (*)(P...)> {
    static constexpr std::array<bool, sizeof...(P)> kFromScript{Parameter<P>::kFromScript...};
    static constexpr std::array<ArgType, sizeof...(P)> kTypes{Parameter<P>::kType...};
    static constexpr const char* kResultType = ResultType<R>::kName;

    // The script argument that parameter `param` takes.
    static constexpr size_t ScriptIndex(size_t param) {
        size_t index = 0;
        for (size_t i = 0; i < param; ++i) index += kFromScript[i] ? 1 : 0;
        return index;
    }

    template <R (*Op)(P...), size_t... I>
    static void Run(MyScriptableNPObject& object, const NPVariant* args, NPVariant& result,
                    std::index_sequence<I...>) {
        // A parameter that does not come from script ignores its argument.
        static const NPVariant kNone{};
        auto arg = [&](size_t i) -> const NPVariant& {
            return kFromScript[i] ? args[ScriptIndex(i)] : kNone;
        };
        if constexpr (std::is_void_v<R>) {
            Op(Parameter<P>::Get(object, arg(I))...);
        } else {
            SetResult(result, Op(Parameter<P>::Get(object, arg(I))...));
        }
    }

    template <R (*Op)(P...)>
    static void Call(MyScriptableNPObject& object, const NPVariant* args, NPVariant& result) {
        Run<Op>(object, args, result, std::index_sequence_for<P...>{});
    }
};

constexpr std::array<ArgType, kMaxArguments> Signature(std::initializer_list<ArgType> types) {
    if (types.size() > kMaxArguments) throw "a method takes at most five arguments";
    std::array<ArgType, kMaxArguments> signature{};
    size_t i = 0;
    for (ArgType type : types) signature[i++] = type;
    return signature;
}

// A row whose operation is `Op`. Fails to compile when `types` differs from
// the script parameters of `Op`.
template <auto Op>
consteval MethodRow Method(const char* name, std::initializer_list<ArgType> types, MethodDoc doc) {
    using B = Binding<decltype(Op)>;
    if (CountNames(doc.parameters) != types.size()) throw "one parameter name per argument";
    size_t param = 0;
    for (ArgType type : types) {
        while (param < B::kFromScript.size() && !B::kFromScript[param]) ++param;
        if (param == B::kFromScript.size() || B::kTypes[param] != type) {
            throw "the signature differs from the operation's parameters";
        }
        ++param;
    }
    while (param < B::kFromScript.size()) {
        if (B::kFromScript[param++]) throw "the operation takes more arguments than the signature";
    }
    return MethodRow{name,
                     static_cast<uint32_t>(types.size()),
                     Signature(types),
                     &B::template Call<Op>,
                     B::kResultType,
                     doc,
                     {}};
}

}  // namespace scriptable
