// The calls of a workspace: its call details file and its Calls subfolder,
// both written by another program and only read here; and the file list of
// any folder by suffix.
#pragma once

#include "workspace/sized_text.h"
#include "workspace/walk_progress.h"

#include <string>

namespace workspace {

// The call details text of Calls.dat; "Failed to open file" when it cannot
// be opened (or a name is refused), "Failed to get folder path" when there is
// no local application-data folder. Written straight into the result's
// buffer. `progress` is told the bytes read; stopped, the answer is "Failed
// to open file".
SizedText getCallDetailsForWorkspace(const std::string& outer, const std::string& workspace,
                                     const std::string& inner,
                                     const ProgressFunction& progress = {});

// The names of the comma-separated call list that have no entry in the
// workspace's Calls subfolder, in list order, joined by ","; empty pieces of
// the list are dropped. The list as given when the subfolder cannot be
// searched.
std::string getMissingOrBufferingCalls(const std::string& outer, const std::string& workspace,
                                       const std::string& inner, const std::string& callList);

// Whether any workspace of the set has an entry of exactly that name (case
// included) in its Calls subfolder.
bool isCallInWorkspace(const std::string& outer, const std::string& inner, const std::string& call);

// The files of the folder whose names end in the four-character suffix (case
// included), joined by ","; "" when none or the folder cannot be searched.
std::string getFileNamesInDir(const std::string& folder, const std::string& suffix);

}  // namespace workspace
