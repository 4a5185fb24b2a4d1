#include "workspace/timeline_volumes.h"

#include "platform/profile.h"
#include "shell/trace.h"
#include "workspace/list_texts.h"
#include "workspace/workspace_path.h"

namespace workspace {

std::string getTimelineVols(const std::string& outer, const std::string& workspace,
                            const std::string& inner) {
    TraceScope trace("MyScriptableNPObject::getTimelineVols");
    const WorkspacePath path = ComposeWorkspacePath({outer, inner, workspace}, "Workspace.ini");
    const std::string list =
        path ? VolumeListText(platform::ReadProfileSection(path.text, "TimelineVolumes")) : "[]";
    Trace(list.c_str());
    return list;
}

}  // namespace workspace
