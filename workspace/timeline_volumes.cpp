#include "workspace/timeline_volumes.h"

#include "platform/profile.h"
#include "platform/trace.h"
#include "workspace/list_texts.h"
#include "workspace/workspace_path.h"
#include "workspace/workspace_settings.h"

namespace workspace {

std::string getTimelineVols(const std::string& outer, const std::string& workspace,
                            const std::string& inner) {
    TraceScope trace("MyScriptableNPObject::getTimelineVols");
    const WorkspacePath path = ComposeWorkspacePath({outer, inner, workspace}, "Workspace.ini");
    const bool readable = path && ReachBelowSet(path) != platform::PathBelow::NotPlain;
    const std::string list = readable ? VolumeListText(platform::ReadProfileSection(
                                            path.wide, std::string(kTimelineVolumesSection)))
                                      : "[]";
    Trace(list.c_str());
    return list;
}

}  // namespace workspace
