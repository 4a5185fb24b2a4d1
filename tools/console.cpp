// plugin-console: loads the plug-in through the embedding, creates one
// embed and runs page-script calls against its scriptable object, printing
// what page script would receive.
//
//   plugin-console [--plugin DLL] [--origin ORIGIN] [--doubles] [--quiet] [CALL ...]
//   plugin-console [options] --file CALLS.js
//   plugin-console [options]            (calls from standard input)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "browser/script_call.h"
#include "embedding/embedder.h"
#include "embedding/working_folder.h"
#include "shell/machine_policy.h"
#include "shell/origin_policy.h"

namespace {

void Usage() {
    std::cerr << "usage: plugin-console [--plugin DLL] [--origin ORIGIN] [--doubles] [--quiet]\n"
                 "                      [--file FILE | CALL ...]\n"
                 "  Each CALL is page script such as getWorkspaceList(\"a\", \"b\").\n"
                 "  Without calls or --file, calls are read from standard input, one per line.\n"
                 "  --origin plays a page of ORIGIN (https://host[:port]) for the origin policy;\n"
                 "  without it the page tells no origin, which a set policy refuses.\n"
                 "  --doubles passes every number as a Double, as some browsers do.\n"
                 "  --quiet prints only the results, not the calls.\n"
                 "  A line ':sleep MS' pauses the console for MS milliseconds.\n";
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// Why the plug-in gave the page no object: the machine's origin policy, as
// the plug-in reads it, or the plug-in itself.
std::string WhyNoObject(const std::optional<std::string>& origin, NPError newResult) {
    const shell::OriginPolicy policy = shell::ReadMachineOriginPolicy();
    const std::string where =
        std::string("HKLM\\") + shell::kPolicyKey + " " + shell::kAllowedOriginsValue;
    if (policy.kind == shell::OriginPolicy::Kind::Unusable) {
        return "the origin policy (" + where +
               ") names no origin, or cannot be read: no page is served; see "
               "npDravenilFileAccessHost.exe --check";
    }
    if (policy.kind == shell::OriginPolicy::Kind::Missing) {
        return "the origin policy (" + where +
               ") is not set, and the installed package requires it: no page is served; see "
               "npDravenilFileAccessHost.exe --check";
    }
    if (!shell::Allows(policy, origin)) {
        return "the origin policy (" + where + ") does not serve " +
               (origin ? "the page of " + *origin : std::string("a page that tells no origin")) +
               ": play one it names with --origin ORIGIN, or see npDravenilFileAccessHost.exe "
               "--check";
    }
    return "the plug-in created no scriptable object (NPP_New answered " +
           std::to_string(newResult) + ")";
}

struct Session {
    embedding::Embed& embed;
    bool numbersAsDoubles;
    bool echo;
    int failures = 0;

    void Run(const std::string& rawLine, const std::string& where) {
        std::string line = rawLine;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (standin::IsBlankOrComment(line)) return;
        if (echo) std::cout << "> " << line << "\n";
        if (line.rfind(":sleep ", 0) == 0) {
            // The console's own pause, for following a program that runs alongside.
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(line.c_str() + 7)));
            return;
        }
        const auto parsed = standin::ParseScriptCall(line, numbersAsDoubles);
        if (const auto* error = std::get_if<standin::ParseError>(&parsed)) {
            std::cout << "cannot read " << where << ", column " << error->column << ": "
                      << error->message << "\n";
            ++failures;
            return;
        }
        const auto& call = std::get<standin::ScriptCall>(parsed);
        std::cout << embedding::Show(embed.Call(call.method, call.args)) << std::endl;
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::string pluginPath, file;
    std::optional<std::string> origin;
    bool doubles = false, quiet = false;
    std::vector<std::string> calls;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--plugin" && i + 1 < argc) {
            pluginPath = argv[++i];
        } else if (arg == "--origin" && i + 1 < argc) {
            origin = argv[++i];
        } else if (arg == "--file" && i + 1 < argc) {
            file = argv[++i];
        } else if (arg == "--doubles") {
            doubles = true;
        } else if (arg == "--quiet") {
            quiet = true;
        } else if (arg == "--help" || arg == "-h") {
            Usage();
            return 0;
        } else if (arg.rfind("--", 0) == 0) {
            Usage();
            return 2;
        } else {
            calls.push_back(arg);
        }
    }

    try {
        embedding::BrowserOptions options;
        options.pluginPath = Widen(pluginPath);
        std::optional<embedding::Browser> loaded;
        try {
            loaded.emplace(options);
        } catch (const std::exception& e) {
            std::cerr << "the module " << (pluginPath.empty() ? "beside the console" : pluginPath)
                      << " could not be loaded: " << e.what() << "\n";
            return 1;
        }
        embedding::Browser& browser = *loaded;
        if (browser.initializeResult != NPERR_NO_ERROR) {
            std::cerr << "NP_Initialize failed with " << browser.initializeResult << "\n";
            return 1;
        }
        // The page's origin, as the browser would tell the plug-in.
        browser.documentOrigin = origin;
        embedding::Embed embed(browser);
        if (embed.newResult != NPERR_NO_ERROR || !embed.ScriptableObject()) {
            std::cerr << WhyNoObject(origin, embed.newResult) << "\n";
            return 1;
        }
        Session session{embed, doubles, !quiet};
        // The plug-in and the file are open; page calls run in a folder of
        // their own.
        std::ifstream in;
        if (!file.empty()) {
            in.open(file, std::ios::binary);
            if (!in) {
                std::cerr << "cannot open " << file << "\n";
                return 1;
            }
        }
        const embedding::OwnWorkingFolder workingFolder(L"plugin-console");
        if (!calls.empty()) {
            for (size_t i = 0; i < calls.size(); ++i) {
                session.Run(calls[i], "argument " + std::to_string(i + 1));
            }
        } else {
            std::istream& source = file.empty() ? std::cin : in;
            std::string line;
            for (int number = 1; std::getline(source, line); ++number) {
                session.Run(line, "line " + std::to_string(number));
            }
        }
        for (const std::string& fault : browser.faults)
            std::cerr << "browser fault: " << fault << "\n";
        for (const std::string& call : browser.unexpectedCalls) {
            std::cerr << "unexpected browser call: " << call << "\n";
        }
        return session.failures == 0 && browser.faults.empty() ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "plugin-console: " << e.what() << "\n";
        return 1;
    }
}
