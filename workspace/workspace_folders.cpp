#include "workspace/workspace_folders.h"

#include <vector>

#include "platform/file_system.h"
#include "platform/folder_search.h"
#include "platform/trace.h"
#include "workspace/list_texts.h"
#include "workspace/workspace_path.h"
#include "workspace/workspace_tree.h"

namespace workspace {

std::string getWorkspaceList(const std::string& outer, const std::string& inner) {
    TraceScope trace("MyScriptableNPObject::getWorkspaceList");
    const WorkspacePath pattern = ComposeWorkspacePath({outer, inner}, "*");
    if (pattern.status == WorkspacePath::Status::NoLocalAppData) return "Failed to get folder path";
    if (!pattern) return "";
    platform::FolderSearch search(pattern.wide);
    if (!search.Started()) return "";
    std::vector<std::string> names;
    for (platform::FolderEntry entry; search.Next(entry);) names.push_back(std::move(entry.name));
    // A list cut short by an error would name only some workspaces.
    if (search.Failed()) return "";
    return QuotedNameList(names);
}

bool createWSFolder(const std::string& outer, const std::string& workspace,
                    const std::string& inner) {
    TraceScope trace("MyScriptableNPObject::createWSFolder");
    const WorkspacePath calls = ComposeWorkspacePath({outer, inner, workspace}, "Calls");
    // Nothing is made in what a link or junction below the set folder leads to.
    if (!calls || ReachBelowSet(calls) == platform::PathBelow::NotPlain) return false;
    // Each level in turn below the local application-data folder: Dravenil,
    // Workspaces, the outer, inner and workspace names, then Calls. A level
    // that exists is passed; one that cannot be made shows in the result.
    const std::wstring& path = calls.wide;
    for (size_t at = path.find(L'\\', calls.wideBaseLength + 1); at != std::wstring::npos;
         at = path.find(L'\\', at + 1)) {
        platform::CreateFolder(path.substr(0, at));
    }
    platform::CreateFolder(path);
    const size_t workspaceEnd = path.size() - (sizeof "\\Calls" - 1);
    return platform::IsFolder(path.substr(0, workspaceEnd)) && platform::IsFolder(path);
}

bool renameWS(const std::string& outer, const std::string& oldName, const std::string& newName,
              const std::string& inner) {
    TraceScope trace("MyScriptableNPObject::renameWS");
    const WorkspacePath from = ComposeWorkspacePath({outer, inner, oldName});
    const WorkspacePath to = ComposeWorkspacePath({outer, inner, newName});
    // Only a real folder is renamed: a platform that opens a link as what it
    // leads to would move that instead (Wine moves the link's target).
    const bool renamed = from && to && ReachBelowSet(from) == platform::PathBelow::Plain &&
                         platform::RenamePath(from.wide, to.wide);
    Trace(renamed ? "Rename successful" : "Rename failed");
    return renamed;
}

bool deleteWorkspace(const std::string& outer, const std::string& workspace,
                     const std::string& inner, const ProgressFunction& progress) {
    TraceScope trace("MyScriptableNPObject::deleteWorkspace");
    const WorkspacePath folder = ComposeWorkspacePath({outer, inner, workspace});
    if (!folder) return false;
    Trace(folder.text.c_str());
    const auto tree = platform::TreePath::FromWide(folder.wide);
    // What counts is whether anything remains, not what each removal said.
    return tree && DeleteTree(*tree, progress);
}

bool copyWSFolder(const std::string& outer, const std::string& inner, const std::string& source,
                  const std::string& destination, const ProgressFunction& progress) {
    TraceScope trace("MyScriptableNPObject::copyWSFolder");
    const WorkspacePath from = ComposeWorkspacePath({outer, inner, source});
    const WorkspacePath to = ComposeWorkspacePath({outer, inner, destination});
    if (!from || !to) return false;
    const auto sourceTree = platform::TreePath::FromWide(from.wide);
    const auto destinationTree = platform::TreePath::FromWide(to.wide);
    return sourceTree && destinationTree && CopyTree(*sourceTree, *destinationTree, progress);
}

double getWorkspaceUsage(const std::string& outer, const std::string& inner,
                         const ProgressFunction& progress) {
    TraceScope trace("MyScriptableNPObject::getWorkspaceUsage");
    const WorkspacePath set = ComposeWorkspacePath({outer, inner});
    if (!set) return 0.0;
    const auto tree = platform::TreePath::FromWide(set.wide);
    if (!tree) return 0.0;
    return FolderSizeKiB(*tree, progress) / 1024.0 / 1024.0;
}

bool doesWorkspaceExist(const std::string& outer, const std::string& workspace,
                        const std::string& inner) {
    TraceScope trace("MyScriptableNPObject::doesWorkspaceExist");
    const WorkspacePath folder = ComposeWorkspacePath({outer, inner, workspace});
    return folder && platform::PathExists(folder.wide);
}

}  // namespace workspace
