// The volumes of a workspace's timeline lines, all at once: the section
// TimelineVolumes of its Workspace.ini as one list text.
#pragma once

#include <string>
#include <string_view>

namespace workspace {

// "[[7,80],[12,100]]" for the section list "7=80\0" "12=100\0": each entry
// with its first "=" turned into ",", in the order of the list, nothing
// quoted; entries without "=" are left out; "[]" for none. The list ends at
// its end or at an empty entry.
std::string VolumeListText(std::string_view sectionList);

// The volume list of the workspace; "[]" when its file or section is
// missing, a name is refused, or there is no local application-data folder.
std::string getTimelineVols(const std::string& outer, const std::string& workspace,
                            const std::string& inner);

}  // namespace workspace
