// npDravenilFileAccessHost: the plug-in's methods for browsers that no longer
// load plug-ins, over native messaging. It loads npDravenilFileAccessPlugin.dll
// from its own folder exactly as a browser does and answers each request on
// standard input until the input closes. Short calls are answered at once,
// in order, through the connection's embed; long ones (walks, call details,
// folder searches) run on workers, each with an embed of its own, and are
// answered when they end, with progress messages meanwhile; a call waits for
// earlier ones on the same workspace (see call_pool.h). Answers are matched
// by id, not order. Each message is a 4-byte little-endian length and that
// many bytes of UTF-8 JSON; nothing else is ever written to the output. It
// runs in an empty working folder of its own.
#include <fcntl.h>
#include <io.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "embedding/embedder.h"
#include "embedding/working_folder.h"
#include "messaging/call_pool.h"
#include "messaging/host_session.h"
#include "messaging/json.h"
#include "messaging/machine_check.h"
#include "platform/file_tree.h"
#include "platform/registry.h"
#include "platform/version_info.h"
#include "scriptable/activity_log.h"
#include "scriptable/method_table.h"
#include "shell/identity.h"
#include "shell/machine_policy.h"
#include "workspace/workspace_path.h"

namespace {

// What a browser sends a host at most.
constexpr uint32_t kMaxRequestBytes = 64u << 20;

bool ReadExactly(std::string& buffer, size_t size) {
    buffer.resize(size);
    return std::fread(buffer.data(), 1, size, stdin) == size;
}

void WriteMessage(const std::string& message) {
    const auto length = static_cast<uint32_t>(message.size());
    const unsigned char header[4] = {
        static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8),
        static_cast<unsigned char>(length >> 16), static_cast<unsigned char>(length >> 24)};
    std::fwrite(header, 1, 4, stdout);
    std::fwrite(message.data(), 1, message.size(), stdout);
    std::fflush(stdout);
}

// Workers and the reading thread write; each message goes out whole.
std::mutex& OutputLock() {
    static std::mutex lock;
    return lock;
}

void Answer(const messaging::Answer& answer) {
    const std::lock_guard<std::mutex> hold(OutputLock());
    messaging::WriteAnswerMessages(answer, WriteMessage);
}

void Write(const std::string& message) {
    const std::lock_guard<std::mutex> hold(OutputLock());
    WriteMessage(message);
}

// Long calls run on this many workers at most.
constexpr size_t kWorkers = 3;
// A call's progress goes out at most this often.
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

// The progress sink of one call on a worker: it sends the call's progress at
// most every kProgressInterval, and only once the walk knows its totals (a
// page draws a bar from them), then the last report before the answer, so
// that a page's count ends where the call did. Both go out from the worker's
// thread. Once the call is cancelled it stops the walk, and remembers that
// it did: only a walk that was stopped is answered as cancelled.
struct CallProgress {
    explicit CallProgress(messaging::PoolCall& poolCall) : call(poolCall) {}
    messaging::PoolCall& call;
    std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
    std::optional<ProgressReport> latest;  // with its totals
    bool sentLatest = false;
    bool stopped = false;

    static int32_t NPAPI_CALLBACK Report(void* context, const ProgressReport* report) {
        auto& self = *static_cast<CallProgress*>(context);
        if (self.call.cancelled) {
            self.stopped = true;
            return 0;
        }
        if (!report->totalsKnown) return 1;
        self.latest = *report;
        self.sentLatest = false;
        const auto now = std::chrono::steady_clock::now();
        if (now - self.last >= kProgressInterval) {
            self.last = now;
            self.sentLatest = true;
            Write(messaging::ProgressMessage(self.call.id, *report));
        }
        return 1;
    }
    void Finish() {
        if (latest && !sentLatest) Write(messaging::ProgressMessage(call.id, *latest));
    }
};

// What kind of answer the page received, for the log.
const char* OutcomeKind(const embedding::CallOutcome& outcome) {
    if (outcome.exception) return "exception";
    if (std::holds_alternative<bool>(outcome.value)) return "boolean";
    if (std::holds_alternative<std::string>(outcome.value)) return "string";
    if (std::holds_alternative<double>(outcome.value) ||
        std::holds_alternative<int32_t>(outcome.value)) {
        return "number";
    }
    return "undefined";
}

// Whether the arguments are of the types the method takes (their number is
// checked before a call is made).
bool Fits(std::string_view method, const std::vector<embedding::Value>& args) {
    const scriptable::MethodRow* row = scriptable::FindMethod(method);
    if (!row || args.size() != row->argumentCount) return false;
    for (size_t i = 0; i < args.size(); ++i) {
        const bool text = std::holds_alternative<std::string>(args[i]);
        const bool flag = std::holds_alternative<bool>(args[i]);
        if (row->argumentTypes[i] == scriptable::ArgType::String ? !text : !flag) return false;
    }
    return true;
}

std::optional<size_t> Arity(std::string_view name) {
    const scriptable::MethodRow* row = scriptable::FindMethod(name);
    if (!row) return std::nullopt;
    return row->argumentCount;
}

// The folder a workspace set or workspace names, as the plug-in would open
// it, so that the pool orders calls by folder whatever spelling each uses.
std::string FolderKeyOf(const std::vector<std::string_view>& names) {
    const workspace::WorkspacePath composed =
        names.size() == 2 ? workspace::ComposeWorkspacePath({names[0], names[1]}, {},
                                                            workspace::kMaxLongPathLength)
                          : workspace::ComposeWorkspacePath({names[0], names[1], names[2]}, {},
                                                            workspace::kMaxLongPathLength);
    const auto path = composed ? platform::TreePath::FromWide(composed.wide) : std::nullopt;
    if (!path) {
        // Names the plug-in refuses touch nothing on disk: a short key keeps
        // the calls that repeat them in order, without holding the names
        // again, however long they are.
        uint64_t hash = 14695981039346656037u;  // FNV-1a over the names, ASCII case folded
        for (const std::string_view name : names) {
            for (const char c : name) {
                hash =
                    (hash ^ static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c)) *
                    1099511628211u;
            }
            hash = hash * 1099511628211u;  // the end of a name
        }
        return "refused:" + std::to_string(hash);
    }
    return platform::Utf8FromWide(platform::ComparableText(*path));
}

constexpr char kHelp[] =
    "npDravenilFileAccessHost.exe: the file access plug-in's methods for current browsers,\n"
    "over native messaging. A browser starts it; by hand it takes:\n"
    "\n"
    "  --version            the product's version, and the module's path and version\n"
    "  --check [ORIGIN]     reads this machine's set-up and prints one line per finding,\n"
    "                       ok, warning or problem, with its fix; with ORIGIN, whether a\n"
    "                       page of it would be served. Exit code 0 when nothing is a\n"
    "                       problem, 1 otherwise. Reads only; needs no administrator.\n"
    "  --check ... --json   the same findings as JSON\n"
    "  --help               this text\n";

// The administrator's own uses of the host; nothing when a browser started
// it (browsers pass the caller's origin or the manifest's path).
std::optional<int> RunOption(int argc, char** argv) {
    if (argc < 2) return std::nullopt;
    const std::string option = argv[1];
    if (option == "--help" || option == "-h" || option == "/?") {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (option == "--version") {
        const std::wstring module = embedding::ProgramFolder() + L"npDravenilFileAccessPlugin.dll";
        const auto version = platform::FileVersion(module);
        // The four numbers of the version text "a.b.c.d, 0, 0, 0".
        const std::string own = PLUGIN_VERSION_TEXT;
        std::printf("%s %s\nmodule %s, version %s\n", PLUGIN_PRODUCT_NAME,
                    own.substr(0, own.find(',')).c_str(), platform::Utf8FromWide(module).c_str(),
                    version ? version->c_str() : "(missing or unreadable)");
        return 0;
    }
    if (option == "--check") {
        std::optional<std::string> origin;
        bool json = false;
        for (int i = 2; i < argc; ++i) {
            if (std::string(argv[i]) == "--json") {
                json = true;
            } else if (!origin) {
                origin = argv[i];
            } else {
                std::fputs(kHelp, stderr);
                return 2;
            }
        }
        const auto findings = messaging::CheckMachine(origin);
        const std::string text =
            json ? messaging::FindingsJson(findings) : messaging::FindingsText(findings);
        std::fwrite(text.data(), 1, text.size(), stdout);
        return messaging::HasProblem(findings) ? 1 : 0;
    }
    if (option.rfind("--", 0) == 0) {
        std::fprintf(stderr, "npDravenilFileAccessHost.exe: unknown option %s\n\n%s",
                     option.c_str(), kHelp);
        return 2;
    }
    return std::nullopt;
}

// What the extension registers its page scripts for: null (no policy), "*",
// or the origins served.
std::string PolicyText() {
    const shell::OriginPolicy policy = shell::ReadMachineOriginPolicy();
    switch (policy.kind) {
        case shell::OriginPolicy::Kind::None:
            return "null";
        case shell::OriginPolicy::Kind::EveryPage:
            return "\"*\"";
        case shell::OriginPolicy::Kind::Origins:
        case shell::OriginPolicy::Kind::Unusable:
        case shell::OriginPolicy::Kind::Missing:
            break;
    }
    std::string list = "[";
    for (const shell::Origin& origin : policy.origins) {
        if (list.size() > 1) list += ',';
        list += messaging::JsonString(shell::OriginText(origin));
    }
    return list + "]";
}

// The activity log the administrator's policy names, if any.
void StartActivityLog() {
    const platform::MachineValue logFile =
        platform::ReadMachineString(shell::kPolicyKey, scriptable::kLogFileValue);
    scriptable::SetActivityLog(logFile.kind == platform::MachineValue::Kind::Text
                                   ? std::optional<std::string>(logFile.text)
                                   : std::nullopt,
                               "host", true);
}

// The next request's text: a 4-byte little-endian length and that many
// bytes. A length that no request may have is answered and passed over;
// nothing once the input has ended.
std::optional<std::string> NextRequest() {
    std::string header, request;
    while (ReadExactly(header, 4)) {
        const uint32_t length = static_cast<unsigned char>(header[0]) |
                                static_cast<unsigned char>(header[1]) << 8 |
                                static_cast<unsigned char>(header[2]) << 16 |
                                static_cast<uint32_t>(static_cast<unsigned char>(header[3])) << 24;
        if (length == 0 || length > kMaxRequestBytes) {
            Answer(messaging::ErrorAnswer(
                "null", "bad request: a length of " + std::to_string(length) + " bytes"));
            // Pass over what the length announced, to carry on after it.
            for (uint32_t left = length; left > 0;) {
                const uint32_t chunk = left < (1u << 16) ? left : (1u << 16);
                if (!ReadExactly(request, chunk)) return std::nullopt;
                left -= chunk;
            }
            continue;
        }
        if (!ReadExactly(request, length)) {
            Answer(messaging::ErrorAnswer("null", "bad request: the input ended inside a message"));
            return std::nullopt;
        }
        return request;
    }
    return std::nullopt;
}

// A call through an embed, and its line for the log: how the page's call
// ended (`cancelled` when it was stopped and answered so).
struct Called {
    embedding::CallOutcome outcome;
    std::function<void(const char*)> log;
};

Called CallThrough(embedding::Embed& embed, const std::string& method,
                   const std::vector<embedding::Value>& args,
                   const std::optional<std::string>& origin) {
    const auto started = std::chrono::steady_clock::now();
    embedding::CallOutcome outcome = embed.Call(method, args);
    const std::chrono::duration<double, std::milli> took =
        std::chrono::steady_clock::now() - started;
    // The plug-in answers a call of the wrong types undefined.
    const bool fits = Fits(method, args);
    return Called{std::move(outcome), [=](const char* kind) {
                      if (!scriptable::ActivityLogged()) return;
                      scriptable::LogCall(origin, method, fits ? kind : "wrong arguments",
                                          took.count());
                  }};
}

// One browser connection: the plug-in loaded as a browser loads it, the
// connection's embed for short calls, and the workers' embeds and pool for
// long ones.
class Connection {
  public:
    Connection()
        : embed_(browser_), pool_(kWorkers, [this](size_t worker, messaging::PoolCall& call) {
              RunPooled(worker, call);
          }) {}

    // Answers one request: an answer the reading alone gives, a cancel, or a
    // call run now or queued behind earlier ones on its workspaces.
    void Handle(const std::string& request) {
        const messaging::OriginFunction allowed = [this](const std::optional<std::string>& origin) {
            return OriginAllowed(origin);
        };
        messaging::Reading reading = messaging::ReadRequest(request, Arity, allowed, PolicyText);
        if (const auto* answer = std::get_if<messaging::Answer>(&reading)) {
            if (!answer->outcome.empty() && scriptable::ActivityLogged()) {
                scriptable::LogCall(answer->origin, answer->method, answer->outcome, 0.0);
            }
            return Answer(*answer);
        }
        if (const auto* cancel = std::get_if<messaging::Cancel>(&reading)) {
            pool_.Cancel(cancel->id);
            return;
        }
        Route(std::get<messaging::PreparedCall>(reading));
    }

    // The input closed: the browser has gone (a tab closed ends its host).
    // What still runs is cancelled; the pool waits for it.
    void End() {
        pool_.CancelAll();
        pool_.Drain();
    }

  private:
    // The administrator's origin policy, as the plug-in reads it: the
    // extension passes each request's sender origin as the browser reported
    // it. The plug-in asks the page's origin too when it hands out its
    // object: it is told the origin of the request that first calls it. It
    // is read for every request, so that a changed policy holds at once, on
    // connections already open too.
    bool OriginAllowed(const std::optional<std::string>& origin) {
        browser_.SetDocumentOrigin(origin);
        const bool allowed = shell::Allows(shell::ReadMachineOriginPolicy(), origin);
        if (!allowed) scriptable::LogRefusal(origin);
        return allowed;
    }

    void Route(messaging::PreparedCall& prepared) {
        const scriptable::MethodRow* row = scriptable::FindMethod(prepared.method);
        const bool runsLong = row->doc.pace == scriptable::Pace::Long;
        // A short call while nothing is in the pool runs at once, with no
        // need to know which folders it names.
        auto scopes = runsLong || !pool_.Empty()
                          ? messaging::ScopesOf(row->Parameters(), prepared.args, FolderKeyOf)
                          : std::vector<messaging::Scope>{};
        if (!runsLong && !pool_.MustWait(scopes)) {
            const Called called =
                CallThrough(embed_, prepared.method, prepared.args, prepared.origin);
            called.log(OutcomeKind(called.outcome));
            return Answer(messaging::AnswerCall(prepared.id, called.outcome));
        }
        if (!workerObjectsMade_) {
            // Their objects are asked for here, with the page's origin as
            // this request gave it, as the connection's first was.
            for (auto& own : workerEmbeds_) own->ScriptableObject();
            workerObjectsMade_ = true;
        }
        auto queued = std::make_shared<messaging::PoolCall>();
        queued->id = prepared.id;
        queued->method = prepared.method;
        queued->args = std::move(prepared.args);
        queued->scopes = std::move(scopes);
        queued->origin = prepared.origin;
        if (pool_.Add(queued)) return;
        Answer(messaging::ErrorAnswer(
            queued->id,
            "too many calls of this page wait for its host: at most " +
                std::to_string(messaging::WaitingBound{}.calls) + " calls or " +
                std::to_string(messaging::WaitingBound{}.bytes >> 20) +
                " MB of arguments wait at a time; call again once some are answered",
            messaging::kQueueFullError));
        if (scriptable::ActivityLogged()) {
            scriptable::LogCall(queued->origin, queued->method, "refused", 0.0);
        }
    }

    // A long call on worker `worker`, through that worker's own embed, with
    // its progress sent as it comes.
    void RunPooled(size_t worker, messaging::PoolCall& poolCall) {
        if (poolCall.cancelled) {
            if (scriptable::ActivityLogged()) {
                scriptable::LogCall(poolCall.origin, poolCall.method, "cancelled", 0.0);
            }
            return Answer(messaging::CancelledAnswer(poolCall.id));
        }
        embedding::Embed& own = *workerEmbeds_[worker];
        CallProgress progress{poolCall};
        browser_.SetProgressSink(own.npp(), ProgressSink{&progress, &CallProgress::Report});
        const Called called = CallThrough(own, poolCall.method, poolCall.args, poolCall.origin);
        const embedding::CallOutcome& outcome = called.outcome;
        browser_.SetProgressSink(own.npp(), std::nullopt);
        // A cancel that came as the walk ended leaves its answer as it is; a
        // walk that ended whole (true) was not stopped.
        const bool whole =
            std::holds_alternative<bool>(outcome.value) && std::get<bool>(outcome.value);
        if (progress.stopped && !whole) {
            called.log("cancelled");
            return Answer(messaging::CancelledAnswer(poolCall.id));
        }
        called.log(OutcomeKind(outcome));
        progress.Finish();
        Answer(messaging::AnswerCall(poolCall.id, outcome));
    }

    // The workers' embeds: made here, on the reading thread, as a browser
    // makes them; each worker then calls only through its own.
    static std::vector<std::unique_ptr<embedding::Embed>> WorkerEmbeds(
        embedding::Browser& browser) {
        std::vector<std::unique_ptr<embedding::Embed>> embeds;
        for (size_t i = 0; i < kWorkers; ++i) {
            embeds.push_back(std::make_unique<embedding::Embed>(browser));
        }
        return embeds;
    }

    embedding::Browser browser_;
    embedding::Embed embed_;
    std::vector<std::unique_ptr<embedding::Embed>> workerEmbeds_ = WorkerEmbeds(browser_);
    bool workerObjectsMade_ = false;
    // Last: its workers, which use everything above, stop first.
    messaging::CallPool pool_;
};

}  // namespace

int main(int argc, char** argv) {
    if (const auto code = RunOption(argc, argv)) return *code;
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    try {
        const embedding::OwnWorkingFolder workingFolder(L"npDravenilFileAccessHost");
        StartActivityLog();
        Connection connection;
        while (const auto request = NextRequest()) connection.Handle(*request);
        connection.End();
        return 0;
    } catch (...) {
        // Anything thrown out of the set-up or the request loop (the
        // plug-in's loading, a failed allocation, a thread that could not
        // start): nothing more can be answered, and the browser sees the
        // host end.
        return 1;
    }
}
