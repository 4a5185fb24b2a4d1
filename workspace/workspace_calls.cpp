#include "workspace/workspace_calls.h"

#include <memory>
#include <unordered_set>
#include <vector>

#include "platform/folder_search.h"
#include "platform/narrow_text.h"
#include "platform/shared_file.h"
#include "platform/trace.h"
#include "workspace/call_details.h"
#include "workspace/list_texts.h"
#include "workspace/workspace_path.h"

namespace workspace {
SizedText getCallDetailsForWorkspace(const std::string& outer, const std::string& workspace,
                                     const std::string& inner, const ProgressFunction& progress) {
    TraceScope trace("MyScriptableNPObject::getCallDetailsForWorkspace");
    const WorkspacePath path = ComposeWorkspacePath({outer, inner, workspace}, "Calls.dat");
    if (path.status == WorkspacePath::Status::NoLocalAppData) {
        return SizedText::Of("Failed to get folder path");
    }
    if (!path || ReachBelowSet(path) != platform::PathBelow::Plain) {
        return SizedText::Of("Failed to open file");
    }
    platform::ReadProgress read;
    if (progress) {
        read = [&progress](uint64_t done, uint64_t size) {
            WalkProgress now;
            now.bytesDone = done;
            now.totalsKnown = true;
            now.bytesTotal = size;
            return progress(now);
        };
    }
    auto bytes = platform::ReadWholeFile(path.wide, read);
    if (!bytes) return SizedText::Of("Failed to open file");
    // Measured now, written into the browser's buffer once it has one.
    auto kept = std::make_shared<const std::string>(std::move(*bytes));
    const CallDetailsLayout layout = MeasureCallDetails(*kept);
    return {layout.size, [kept, layout](char* out) { WriteCallDetails(*kept, layout, out); }};
}

std::string getMissingOrBufferingCalls(const std::string& outer, const std::string& workspace,
                                       const std::string& inner, const std::string& callList) {
    TraceScope trace("MyScriptableNPObject::getMissingOrBufferingCalls");
    const WorkspacePath pattern = ComposeWorkspacePath({outer, inner, workspace}, "Calls\\*");
    // A list holding a NUL is refused: every call counts as missing.
    if (!pattern || !platform::IsWholeText(callList) ||
        ReachBelowSet(pattern, L"\\*") != platform::PathBelow::Plain) {
        return callList;
    }
    platform::FolderSearch search(pattern.wide);
    if (!search.Started()) return callList;
    std::unordered_set<std::string> present;
    for (platform::FolderEntry entry; search.Next(entry);) present.insert(entry.name);
    // A search cut short would count present calls as missing.
    if (search.Failed()) return callList;
    return MissingCallsText(callList, present);
}

bool isCallInWorkspace(const std::string& outer, const std::string& inner,
                       const std::string& call) {
    TraceScope trace("MyScriptableNPObject::isCallInWorkspace");
    const WorkspacePath sets = ComposeWorkspacePath({outer, inner}, "*");
    if (sets.status == WorkspacePath::Status::NoLocalAppData) {
        Trace("Unable to determine folder path");
        return false;
    }
    // A call name is looked up as itself: one holding a separator or a
    // wildcard can never be the name of an entry.
    if (!sets || !IsAcceptableName(call)) return false;
    platform::FolderSearch workspaces(sets.wide);
    for (platform::FolderEntry workspace; workspaces.Next(workspace);) {
        // The call's own path may be longer than the narrow functions take
        // while its Calls folder is not: it is searched all the same.
        const WorkspacePath pattern = ComposeWorkspacePath({outer, inner, workspace.name},
                                                           "Calls\\" + call, kMaxLongPathLength);
        if (!pattern) continue;
        // The search matches without regard to case, and short names too:
        // only an entry named exactly so counts.
        platform::FolderSearch calls(pattern.wide);
        for (platform::FolderEntry entry; calls.Next(entry);) {
            // Found only in the Calls folder of a real workspace, never in
            // what a link or junction there leads to. Asked of a match only,
            // so that a call that is nowhere costs no more than the searches.
            if (entry.name == call) {
                const WorkspacePath folder = ComposeWorkspacePath({outer, inner, workspace.name},
                                                                  "Calls", kMaxLongPathLength);
                if (ReachBelowSet(folder) == platform::PathBelow::Plain) return true;
            }
        }
    }
    return false;
}

std::string getFileNamesInDir(const std::string& folder, const std::string& suffix) {
    TraceScope trace("MyScriptableNPObject::getFileNamesInDir");
    if (!platform::IsUsablePath(folder) || !platform::IsWholeText(suffix)) return "";
    std::vector<std::string> files;
    platform::FolderSearch search(folder + "\\*");
    for (platform::FolderEntry entry; search.Next(entry);) {
        if (!entry.IsFolder()) files.push_back(std::move(entry.name));
    }
    if (search.Failed()) return "";
    return FileNamesText(files, suffix);
}

}  // namespace workspace
