// The volumes of a workspace's timeline lines, all at once: the section
// TimelineVolumes of its Workspace.ini as one list text.
#pragma once

#include <string>

namespace workspace {

// The volume list of the workspace (see VolumeListText); "[]" when its file
// or section is missing, a name is refused, or there is no local
// application-data folder.
std::string getTimelineVols(const std::string& outer, const std::string& workspace,
                            const std::string& inner);

}  // namespace workspace
