#include "host/host_utilities.h"

#include <exception>

#include "platform/file_system.h"
#include "platform/narrow_text.h"
#include "platform/process.h"
#include "platform/shared_file.h"
#include "platform/trace.h"

namespace host {
namespace {

constexpr char kProbeFile[] = "/TestFile.txt";

void EnsureFolder(const std::string& folder) {
    // Drive and server names cannot be created; that is no reason to stop.
    if (!platform::PathExists(folder)) platform::CreateFolder(folder);
}

}  // namespace

bool fileExists(const std::string& path) {
    TraceScope trace("MyScriptableNPObject::fileExists");
    return platform::IsUsablePath(path) && platform::CanOpenForReading(path);
}

std::vector<size_t> FolderWalk(std::string_view text) {
    std::vector<size_t> lengths;
    size_t position = 0;
    for (;;) {
        size_t separator = text.find('/', position);
        if (separator == std::string_view::npos) separator = text.find('\\', position);
        if (separator == std::string_view::npos) break;
        if (separator != position) lengths.push_back(separator);
        position = separator + 1;
    }
    lengths.push_back(text.size());
    return lengths;
}

bool checkAccessRights(const std::string& folder) {
    TraceScope trace("MyScriptableNPObject::checkAccessRights");
    if (!platform::IsUsablePath(folder)) return false;
    std::string probe;
    try {
        // One prefix at a time, so that memory stays linear in the text; no
        // longer path than Windows has can be a folder.
        for (const size_t length : FolderWalk(folder)) {
            if (length > platform::kLongestPathBytes) break;
            EnsureFolder(folder.substr(0, length));
        }
        probe = folder + kProbeFile;
    } catch (const std::exception&) {
        return false;
    }
    switch (platform::CreateNewFile(probe)) {
        case platform::NewFileOutcome::Created:
            // The folder took a new file: that is the answer, even when the
            // probe cannot be removed again.
            platform::RemoveFile(probe);
            return true;
        case platform::NewFileOutcome::AlreadyExists:
            // Someone's file of that name: its content and presence are theirs.
            return platform::CanOpenForAppending(probe);
        case platform::NewFileOutcome::Failed:
            break;
    }
    return false;
}

bool launchExe(const std::string& commandLine) {
    TraceScope trace("MyScriptableNPObject::launchExe");
    if (!platform::IsUsablePath(commandLine)) return false;
    // A command line is never cut: one too long for CreateProcessW is refused.
    const auto wide = platform::AnsiToWide(commandLine, kMaxCommandLineUnits - 1);
    if (!wide) return false;
    if (!platform::StartDetachedProcess(*wide)) return false;
    Trace("MyScriptableNPObject::launchExe - created process");
    return true;
}

}  // namespace host
