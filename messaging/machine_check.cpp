#include "messaging/machine_check.h"

#include <cwctype>

#include "messaging/json.h"
#include "messaging/product_version.h"
#include "platform/log_file.h"
#include "platform/registry.h"
#include "platform/version_info.h"
#include "scriptable/activity_log.h"
#include "shell/identity.h"
#include "shell/machine_policy.h"
#include "shell/origin_policy.h"

namespace messaging {

namespace {

using Status = Finding::Status;
using platform::RegistryView;

constexpr char kModuleName[] = "npDravenilFileAccessPlugin.dll";

// The host's own build: the 32-bit package registers in the 32-bit registry
// view, the 64-bit one in the 64-bit view (on 32-bit Windows the two are one).
constexpr RegistryView kOwnView = sizeof(void*) == 8 ? RegistryView::Bits64 : RegistryView::Bits32;

const char* ViewName(RegistryView view) {
    return view == RegistryView::Bits64 ? "64-bit view" : "32-bit view";
}
const char* PackageName(RegistryView view) {
    return view == RegistryView::Bits64 ? "the 64-bit package" : "the 32-bit package";
}

// The package file of that view's build and version, as package.sh names it.
std::string PackageFile(RegistryView view, const std::string& version) {
    return "npDravenilFileAccessPlugin-" + version + (view == RegistryView::Bits64 ? "-x64" : "") +
           ".msi";
}

// Puts back every file and registry value of the installed package as it
// installed them; "v" takes the package given as the one to keep, so that a
// package built for another extension key replaces one of the same version.
std::string ReinstallCommand(RegistryView view, const std::string& version) {
    return "msiexec /i " + PackageFile(view, version) + " REINSTALL=ALL REINSTALLMODE=vamus /qn";
}
std::string Reinstall(RegistryView view, const std::string& version) {
    return "repair the package: " + ReinstallCommand(view, version) +
           ", or uninstall it and install it again with ALLOWEDORIGINS=...";
}
// The version a view's registration names, else this host's.
std::string RegisteredOrOwn(const platform::MachineValue& version) {
    return version.kind == platform::MachineValue::Kind::Text ? version.text : ProductVersion();
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto fold = [](wchar_t c) { return c == L'/' ? L'\\' : std::towlower(c); };
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

bool IsAbsolute(const std::wstring& path) {
    return (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) ||
           (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\');
}

// The value in each registry view, the two reported once when they agree.
struct ViewedValue {
    RegistryView view;
    platform::MachineValue value;
};
std::vector<ViewedValue> InBothViews(const std::string& key, const std::string& name) {
    std::vector<ViewedValue> found;
    for (const RegistryView view : {RegistryView::Bits32, RegistryView::Bits64}) {
        const auto value = platform::ReadMachineString(key, name, view);
        if (!found.empty() && found.front().value.kind == value.kind &&
            found.front().value.text == value.text) {
            continue;
        }
        found.push_back({view, value});
    }
    return found;
}

// This host's package's repair.
std::string OwnReinstall() { return Reinstall(kOwnView, ProductVersion()); }

void CheckModule(std::vector<Finding>& out, const std::wstring& hostFolder) {
    const std::wstring module = hostFolder + platform::WideFromUtf8(kModuleName);
    const std::string shown = platform::Utf8FromWide(module);
    if (!platform::FileExists(module)) {
        out.push_back({Status::Problem, "module", shown + " is missing beside the host",
                       OwnReinstall() + "; the module must sit beside the host"});
        return;
    }
    const auto version = platform::FileVersion(module);
    const auto product = platform::FileVersionText(module, L"ProductName");
    const auto mimeType = platform::FileVersionText(module, L"MIMEType");
    if (!version || product != PLUGIN_PRODUCT_NAME || mimeType != PLUGIN_MIME_TYPE) {
        out.push_back({Status::Problem, "module",
                       shown + " is not this product's module (product \"" +
                           product.value_or("none") + "\", MIME type \"" +
                           mimeType.value_or("none") + "\")",
                       OwnReinstall()});
        return;
    }
    if (*version != ProductVersion()) {
        out.push_back({Status::Problem, "module",
                       shown + ", version " + *version + ", but the host is version " +
                           ProductVersion() + ": the two come from one package",
                       OwnReinstall()});
        return;
    }
    out.push_back({Status::Ok, "module", shown + ", version " + *version, ""});
}

void CheckPluginRegistration(std::vector<Finding>& out) {
    const std::string key = std::string("Software\\MozillaPlugins\\") + PLUGIN_REGISTRY_ID;
    bool registered = false;
    for (const auto& [view, path] : InBothViews(key, "Path")) {
        const std::string where = std::string("NPAPI registration (") + ViewName(view) + ")";
        if (path.kind != platform::MachineValue::Kind::Text) continue;
        registered = true;
        const auto version = platform::ReadMachineString(key, "Version", view);
        const std::string detail =
            "HKLM\\" + key + ": " + path.text + ", version " +
            (version.kind == platform::MachineValue::Kind::Text ? version.text
                                                                : std::string("(none)"));
        const std::wstring file = platform::WideFromAnsi(path.text);
        const auto fileVersion = platform::FileVersion(file);
        // Each view's registration is its package's.
        const std::string repair = Reinstall(view, RegisteredOrOwn(version));
        if (!platform::FileExists(file)) {
            out.push_back({Status::Problem, where, detail + "; the file is missing", repair});
        } else if (version.kind != platform::MachineValue::Kind::Text ||
                   fileVersion != version.text) {
            out.push_back({Status::Problem, where,
                           detail + "; the file is version " + fileVersion.value_or("(none)"),
                           repair});
        } else {
            out.push_back({Status::Ok, where, detail, ""});
        }
    }
    if (!registered) {
        out.push_back({Status::Problem, "NPAPI registration",
                       "HKLM\\" + key +
                           " is in neither registry view: browsers that load "
                           "plug-ins do not find it",
                       OwnReinstall()});
    }
}

// The ids a manifest allows: add-on ids for Firefox, for the others the id
// within "chrome-extension://ID/".
std::vector<std::string> AllowedIds(const Json& manifest, bool firefox) {
    const Json* list = manifest.Member(firefox ? "allowed_extensions" : "allowed_origins");
    const auto* items = list ? std::get_if<std::shared_ptr<JsonArray>>(&list->value) : nullptr;
    std::vector<std::string> ids;
    if (!items) return ids;
    constexpr std::string_view kScheme = "chrome-extension://";
    for (const Json& item : **items) {
        const auto* text = std::get_if<std::string>(&item.value);
        if (!text) continue;
        std::string id = *text;
        if (!firefox && id.compare(0, kScheme.size(), kScheme) == 0) {
            id = id.substr(kScheme.size());
            if (!id.empty() && id.back() == '/') id.pop_back();
        }
        ids.push_back(id);
    }
    return ids;
}

std::string Joined(const std::vector<std::string>& texts) {
    std::string joined;
    for (const std::string& text : texts) joined += (joined.empty() ? "" : ", ") + text;
    return joined;
}

// The extensions a browser's policies install for every user: the numbered
// values of ExtensionInstallForcelist ("id" or "id;update URL"), and the ids
// of the JSON policy ExtensionSettings whose installation_mode installs them.
std::vector<std::string> ForcedIds(const std::string& policyKey) {
    std::vector<std::string> ids;
    for (int n = 1; n <= 200; ++n) {
        const auto value = platform::ReadMachineString(policyKey + "\\ExtensionInstallForcelist",
                                                       std::to_string(n));
        if (value.kind == platform::MachineValue::Kind::Text && !value.text.empty()) {
            ids.push_back(value.text.substr(0, value.text.find(';')));
        }
    }
    const auto settings = platform::ReadMachineString(policyKey, "ExtensionSettings");
    if (settings.kind != platform::MachineValue::Kind::Text) return ids;
    const auto parsed = ParseJson(settings.text);
    const Json* json = std::get_if<Json>(&parsed);
    const auto* object = json ? std::get_if<std::shared_ptr<JsonObject>>(&json->value) : nullptr;
    if (!object) return ids;
    for (const auto& [id, entry] : **object) {
        const Json* mode = entry.Member("installation_mode");
        const auto* text = mode ? std::get_if<std::string>(&mode->value) : nullptr;
        if (text && (*text == "force_installed" || *text == "normal_installed")) ids.push_back(id);
    }
    return ids;
}

// Whether an extension the browser's policies force is one the host's
// manifest allows: an organisation that signs the extension with a key of
// its own needs a package built for that key.
void CheckForcedExtensions(std::vector<Finding>& out, const std::string& browser,
                           const std::string& policyKey, const std::vector<std::string>& allowed) {
    const std::vector<std::string> forced = ForcedIds(policyKey);
    if (forced.empty()) return;
    const std::string item = browser + " forced extension";
    for (const std::string& id : forced) {
        for (const std::string& ok : allowed) {
            if (id != ok) continue;
            out.push_back({Status::Ok, item,
                           id + " (HKLM\\" + policyKey + ") is allowed by the host manifest", ""});
            return;
        }
    }
    out.push_back({Status::Problem, item,
                   "HKLM\\" + policyKey + " forces " + Joined(forced) +
                       ", but the host manifest allows " +
                       (allowed.empty() ? std::string("no extension") : Joined(allowed)) +
                       ": the forced extension's pages find no host",
                   "build the package for the key the forced extension is signed with "
                   "(scripts/package.sh --extension-key KEY.pem) and install it over this "
                   "one: " +
                       ReinstallCommand(kOwnView, ProductVersion())});
}

// One view's registration of the host for a browser: its manifest there,
// readable, allowing an extension, and its path leading to this host (for
// this host's own view) or to the other package's host (for the other
// view, on a machine with both packages installed side by side).
void CheckManifest(std::vector<Finding>& out, const std::string& where, const std::string& shown,
                   bool firefox, const std::wstring& hostPath, RegistryView view, bool own,
                   std::vector<std::string>& allowed) {
    const auto registered = platform::ReadMachineString(
        std::string("Software\\MozillaPlugins\\") + PLUGIN_REGISTRY_ID, "Version", view);
    const std::string repair = own ? OwnReinstall() : Reinstall(view, RegisteredOrOwn(registered));
    const std::wstring manifestPath = platform::WideFromAnsi(shown);
    if (!platform::FileExists(manifestPath)) {
        out.push_back({Status::Problem, where, "the manifest " + shown + " is missing", repair});
        return;
    }
    const auto text = platform::ReadTextFile(manifestPath);
    const auto parsed = text ? ParseJson(*text) : std::variant<Json, JsonError>(JsonError{});
    const Json* manifest = std::get_if<Json>(&parsed);
    if (!manifest || !manifest->Member("name")) {
        out.push_back(
            {Status::Problem, where, "the manifest " + shown + " cannot be read as JSON", repair});
        return;
    }
    const Json* pathMember = manifest->Member("path");
    const auto* path = pathMember ? std::get_if<std::string>(&pathMember->value) : nullptr;
    std::wstring target = path ? platform::WideFromUtf8(*path) : std::wstring();
    if (!target.empty() && !IsAbsolute(target)) target = FolderOf(manifestPath) + target;
    const std::vector<std::string> listed = AllowedIds(*manifest, firefox);
    allowed.insert(allowed.end(), listed.begin(), listed.end());
    const std::string ids = Joined(listed);
    const std::string detail = "manifest " + shown + ", path " +
                               (path ? *path : std::string("(none)")) + ", allows " +
                               (ids.empty() ? std::string("no extension") : ids);
    // This host by file identity, whatever spelling led here; the other
    // package's host by being this product's host program.
    const bool leads =
        path && (own ? platform::SameFile(target, hostPath) || SamePath(target, hostPath)
                     : platform::FileVersionText(target, L"ProductName") == PLUGIN_PRODUCT_NAME);
    if (!leads) {
        out.push_back({Status::Problem, where,
                       detail + (own ? "; its path does not lead to this host"
                                     : "; its path does not lead to that package's host"),
                       repair});
    } else if (ids.empty()) {
        out.push_back({Status::Problem, where, detail, repair});
    } else {
        out.push_back({Status::Ok, where, detail, ""});
    }
}

void CheckBrowser(std::vector<Finding>& out, const char* browser, const std::string& key,
                  const std::string& policyKey, bool firefox, const std::wstring& hostPath) {
    const std::string item = std::string(browser) + " host";
    constexpr RegistryView kOtherView =
        kOwnView == RegistryView::Bits64 ? RegistryView::Bits32 : RegistryView::Bits64;
    const auto own = platform::ReadMachineString(key, "", kOwnView);
    const auto other = platform::ReadMachineString(key, "", kOtherView);
    const bool ownRegistered = own.kind == platform::MachineValue::Kind::Text;
    std::vector<std::string> allowed;
    if (ownRegistered) {
        CheckManifest(out, item + " (" + ViewName(kOwnView) + ")", own.text, firefox, hostPath,
                      kOwnView, true, allowed);
    }
    // On 32-bit Windows, and where both views hold one value, the two are one.
    if (other.kind == platform::MachineValue::Kind::Text &&
        !(ownRegistered && other.text == own.text)) {
        CheckManifest(out, item + " (" + PackageName(kOtherView) + ")", other.text, firefox,
                      hostPath, kOtherView, false, allowed);
    }
    if (!ownRegistered) {
        out.push_back({Status::Problem, item,
                       "HKLM\\" + key + " is not in the " + ViewName(kOwnView) + ": " + browser +
                           " does not find this host (\"Specified native messaging host not "
                           "found\")",
                       OwnReinstall()});
        return;
    }
    CheckForcedExtensions(out, browser, policyKey, allowed);
}

// The origin of a page's address ("https://calls.example:8443/app/page.html"
// gives "https://calls.example:8443"), as the browser reports a page's
// origin; any other text as it is.
std::string OriginOfPage(const std::string& text) {
    const size_t scheme = text.find("://");
    if (scheme == std::string::npos) return text;
    const size_t end = text.find_first_of("/?#", scheme + 3);
    if (end == std::string::npos) return text;
    const std::string cut = text.substr(0, end);
    return shell::ReadOrigin(cut).origin ? cut : text;
}

constexpr char kEveryPageRisk[] =
    "every page of every site is served: any page the browser opens can read, write and "
    "delete this user's files and start programs";

// What to add for a page of `origin` that the policy does not serve, written
// so that the installer and the plug-in take it: the origin a browser
// reports, over https unless the page is on this machine.
std::string AddOriginFix(const std::string& origin, const std::string& current) {
    const auto entries = shell::ReadPolicyEntries(origin);
    std::string add = origin;
    std::string why;
    if (entries.size() == 1 && !entries.front().refusal.empty()) {
        why = "\"" + origin + "\" " + entries.front().refusal + "; ";
        // A page's address: its origin is what comes before the path.
        const size_t scheme = origin.find("://");
        const size_t path = scheme == std::string::npos ? scheme : origin.find('/', scheme + 3);
        add = origin.substr(0, path);
        if (add.compare(0, 7, "http://") == 0) add = "https://" + add.substr(7);
        const auto fixed = shell::ReadPolicyEntries(add);
        if (fixed.size() != 1 || !fixed.front().refusal.empty()) {
            return why +
                   "give the page's origin as scheme://host[:port], such as "
                   "https://calls.example";
        }
        if (add != origin.substr(0, path)) why += "serve the pages over https and ";
    }
    // An entry already there is not added again.
    const std::string listed = ";" + current + ";";
    const std::string value = current.empty() ? add
                              : listed.find(";" + add + ";") != std::string::npos
                                  ? current
                                  : current + ";" + add;
    return why + "add " + add + " to AllowedOrigins: Group Policy (Enabled, with \"" + value +
           "\"), or reinstall with ALLOWEDORIGINS=\"" + value + "\"";
}

void CheckPolicy(std::vector<Finding>& out, const std::optional<std::string>& origin) {
    const std::string where = std::string("HKLM\\") + shell::kPolicyKey + " " +
                              shell::kAllowedOriginsValue + " (64-bit view)";
    const auto value = platform::ReadMachineString(shell::kPolicyKey, shell::kAllowedOriginsValue);
    const shell::OriginPolicy policy = shell::ReadMachineOriginPolicy();
    const char* setIt =
        "set AllowedOrigins to the product's origins, separated by \";\" (Group Policy: "
        "Enabled, with the origins; or reinstall with ALLOWEDORIGINS=...)";
    switch (value.kind) {
        case platform::MachineValue::Kind::Absent:
            if (policy.kind == shell::OriginPolicy::Kind::Missing) {
                out.push_back({Status::Problem, "origin policy",
                               where + " is not set, and the installed package requires it (Group "
                                       "Policy set to Disabled deletes it): no page is served",
                               setIt});
            } else {
                out.push_back({Status::Warning, "origin policy",
                               where + " is not set and no package requires it (a module "
                                       "registered by hand): every page is served",
                               setIt});
            }
            break;
        case platform::MachineValue::Kind::Unreadable:
            out.push_back({Status::Problem, "origin policy",
                           where + " is set but cannot be read as text: no page is served", setIt});
            break;
        case platform::MachineValue::Kind::Text: {
            out.push_back({Status::Ok, "origin policy", where + " = \"" + value.text + "\"", ""});
            for (const shell::PolicyEntry& entry : shell::ReadPolicyEntries(value.text)) {
                if (entry.everyPage) {
                    out.push_back({Status::Warning, "policy entry",
                                   "\"*\": " + std::string(kEveryPageRisk),
                                   "name the product's origins instead of \"*\""});
                } else if (entry.refusal.empty()) {
                    out.push_back({Status::Ok, "policy entry",
                                   "\"" + entry.text + "\": " + OriginText(*entry.origin), ""});
                } else {
                    out.push_back({Status::Problem, "policy entry",
                                   "\"" + entry.text + "\" " + entry.refusal + ": it is left out",
                                   "write it as scheme://host[:port], such as "
                                   "https://calls.example"});
                }
            }
            if (policy.kind == shell::OriginPolicy::Kind::Unusable) {
                out.push_back({Status::Problem, "policy in force",
                               "it names no origin: no page is served", setIt});
            } else if (policy.kind == shell::OriginPolicy::Kind::EveryPage) {
                out.push_back({Status::Warning, "policy in force", kEveryPageRisk,
                               "name the product's origins instead of \"*\""});
            } else {
                out.push_back({Status::Ok, "policy in force",
                               std::to_string(policy.origins.size()) + " origin(s) served", ""});
            }
            break;
        }
    }
    if (!origin) return;
    const std::string page = OriginOfPage(*origin);
    const bool served = shell::Allows(policy, page);
    std::string rule;
    switch (policy.kind) {
        case shell::OriginPolicy::Kind::None:
            rule = "no policy is set";
            break;
        case shell::OriginPolicy::Kind::EveryPage:
            rule = "the policy is \"*\"";
            break;
        case shell::OriginPolicy::Kind::Missing:
            rule = "the installed package requires a policy and none is set";
            break;
        case shell::OriginPolicy::Kind::Origins:
        case shell::OriginPolicy::Kind::Unusable:
            if (const auto reading = shell::ReadOrigin(page); reading.origin && served) {
                rule = "the policy names " + OriginText(*reading.origin);
            } else if (!reading.origin) {
                rule = "it is no origin: it " + reading.refusal;
            } else {
                rule = "the policy does not name it";
            }
            break;
    }
    // The origins served now, and the page's.
    std::string current;
    for (const shell::Origin& named : policy.origins) {
        current += (current.empty() ? "" : ";") + OriginText(named);
    }
    out.push_back({served ? Status::Ok : Status::Problem,
                   "page " + *origin + (page != *origin ? " (origin " + page + ")" : ""),
                   std::string(served ? "served: " : "refused: ") + rule,
                   served ? "" : AddOriginFix(page, current)});
}

// The log file recommended where several users share a machine.
constexpr char kPerUserLogExample[] = "C:\\ProgramData\\Dravenil\\%USERNAME%.log";

void CheckLog(std::vector<Finding>& out) {
    const auto value = platform::ReadMachineString(shell::kPolicyKey, scriptable::kLogFileValue);
    if (value.kind != platform::MachineValue::Kind::Text || value.text.empty()) {
        out.push_back({Status::Ok, "log", "off (no LogFile policy value)", ""});
        return;
    }
    const std::string file = scriptable::LogFilePath(value.text);
    const std::string shown =
        file == value.text ? file : value.text + " (for this user " + file + ")";
    const std::wstring path = platform::WideFromAnsi(file);
    const std::wstring folder = FolderOf(path);
    const std::string shownFolder = platform::Utf8FromWide(folder);
    const std::string fixFolder = "create the folder " + shownFolder +
                                  " so that every user whose browser uses the plug-in can write "
                                  "in it, or set LogFile to a file in such a folder";
    const std::string fixOwn =
        "remove it; where several users share the machine, give each a file of their own: "
        "LogFile " +
        std::string(kPerUserLogExample);
    if (!IsAbsolute(path) || folder.empty()) {
        out.push_back({Status::Problem, "log",
                       "LogFile is \"" + value.text + "\", not a full path: nothing is logged",
                       "set LogFile to a full path, such as " + std::string(kPerUserLogExample)});
        return;
    }
    if (!platform::FolderExists(folder)) {
        out.push_back({Status::Problem, "log",
                       shown + ": its folder is missing, so nothing is logged", fixFolder});
        return;
    }
    using State = platform::LogFileState;
    switch (platform::InspectLogFile(file)) {
        case State::Link:
            return out.push_back({Status::Problem, "log",
                                  shown + " is a link: the log never follows one, so nothing is "
                                          "logged",
                                  fixOwn});
        case State::OtherNames:
            return out.push_back({Status::Problem, "log",
                                  shown + " has other names (hard links): nothing is written "
                                          "into it, so nothing is logged",
                                  fixOwn});
        case State::OtherOwner:
            return out.push_back(
                {Status::Problem, "log",
                 shown + " belongs to another user: this user's calls are not "
                         "logged",
                 "give each user a file of their own: LogFile " + std::string(kPerUserLogExample)});
        case State::NotAFile:
            return out.push_back(
                {Status::Problem, "log", shown + " is a folder, so nothing is logged", fixOwn});
        case State::Usable:
        case State::Absent:
        case State::Unreadable:
            break;
    }
    if (!platform::CanAppendTo(path)) {
        out.push_back({Status::Problem, "log",
                       shown + " cannot be written by this user: their calls are not logged",
                       fixFolder});
    } else {
        out.push_back({Status::Ok, "log", shown, ""});
    }
}

const char* StatusText(Status status) {
    switch (status) {
        case Status::Ok:
            return "ok";
        case Status::Warning:
            return "warning";
        case Status::Problem:
            break;
    }
    return "problem";
}

}  // namespace

std::vector<Finding> CheckMachine(const std::optional<std::string>& origin) {
    std::vector<Finding> out;
    const std::wstring hostPath = platform::ProgramPath();
    CheckModule(out, FolderOf(hostPath));
    CheckPluginRegistration(out);
    const std::string hosts = std::string("\\NativeMessagingHosts\\") + HOST_NAME;
    CheckBrowser(out, "Chrome", "Software\\Google\\Chrome" + hosts,
                 "Software\\Policies\\Google\\Chrome", false, hostPath);
    CheckBrowser(out, "Edge", "Software\\Microsoft\\Edge" + hosts,
                 "Software\\Policies\\Microsoft\\Edge", false, hostPath);
    CheckBrowser(out, "Chromium", "Software\\Chromium" + hosts, "Software\\Policies\\Chromium",
                 false, hostPath);
    CheckBrowser(out, "Firefox", "Software\\Mozilla" + hosts,
                 "Software\\Policies\\Mozilla\\Firefox", true, hostPath);
    CheckPolicy(out, origin);
    CheckLog(out);
    return out;
}

bool HasProblem(const std::vector<Finding>& findings) {
    for (const Finding& finding : findings) {
        if (finding.status == Status::Problem) return true;
    }
    return false;
}

std::string FindingsText(const std::vector<Finding>& findings) {
    std::string text;
    for (const Finding& f : findings) {
        std::string status = StatusText(f.status);
        status.resize(8, ' ');
        text += status + f.item + ": " + f.detail;
        if (!f.fix.empty()) text += " (fix: " + f.fix + ")";
        text += "\n";
    }
    return text;
}

std::string FindingsJson(const std::vector<Finding>& findings) {
    std::string json = "{\"findings\":[";
    size_t problems = 0;
    for (const Finding& f : findings) {
        if (json.back() != '[') json += ',';
        json += "{\"status\":" + JsonString(StatusText(f.status)) +
                ",\"item\":" + JsonString(f.item) + ",\"detail\":" + JsonString(f.detail) +
                ",\"fix\":" + JsonString(f.fix) + "}";
        problems += f.status == Status::Problem ? 1 : 0;
    }
    return json + "],\"problems\":" + std::to_string(problems) + "}\n";
}

}  // namespace messaging
