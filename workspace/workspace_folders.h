// Workspace folders: the script methods that list, create, rename, delete,
// copy, measure and test the workspaces of one workspace set. Every path is
// composed by the workspace path rule; a refused name or an over-long path
// gives the method's failure result and touches nothing on disk.
#pragma once

#include <string>

#include "workspace/walk_progress.h"

namespace workspace {

// "['North','South']" for the entries of the workspace set folder, files
// too, each name a quoted JavaScript string literal, in the order the search
// gives them; "[]" for an
// empty set, "" for a missing set or a refused name, "Failed to get folder
// path" when there is no local application-data folder.
std::string getWorkspaceList(const std::string& outer, const std::string& inner);

// True when the workspace folder and its Calls subfolder exist on return.
bool createWSFolder(const std::string& outer, const std::string& workspace,
                    const std::string& inner);

// True when the workspace folder was renamed (false when the old one is
// missing or the new name is taken).
bool renameWS(const std::string& outer, const std::string& oldName, const std::string& newName,
              const std::string& inner);

// The walks below tell `progress` how far they are and stop when told to
// (see workspace_tree.h).

// True when no workspace folder of that name exists on return.
bool deleteWorkspace(const std::string& outer, const std::string& workspace,
                     const std::string& inner, const ProgressFunction& progress = {});

// True when the source workspace exists and its whole content was copied into
// the destination (created when missing; files of the same name replaced).
bool copyWSFolder(const std::string& outer, const std::string& inner, const std::string& source,
                  const std::string& destination, const ProgressFunction& progress = {});

// The size of the workspace set in GiB: each file counted in whole KiB,
// hidden folders and reparse points left out.
double getWorkspaceUsage(const std::string& outer, const std::string& inner,
                         const ProgressFunction& progress = {});

// True when a folder or a file of the workspace name exists.
bool doesWorkspaceExist(const std::string& outer, const std::string& workspace,
                        const std::string& inner);

}  // namespace workspace
