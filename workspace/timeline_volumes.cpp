#include "workspace/timeline_volumes.h"

#include "platform/profile.h"
#include "shell/trace.h"
#include "workspace/workspace_path.h"

namespace workspace {

std::string VolumeListText(std::string_view sectionList) {
    std::string text = "[";
    // The parse keeps its own position: nothing outlives the call.
    size_t position = 0;
    while (position < sectionList.size()) {
        size_t end = sectionList.find('\0', position);
        if (end == std::string_view::npos) end = sectionList.size();
        const std::string_view entry = sectionList.substr(position, end - position);
        if (entry.empty()) break;
        position = end + 1;
        const size_t equals = entry.find('=');
        if (equals == std::string_view::npos) continue;
        if (text.size() > 1) text += ',';
        text.append(1, '[')
            .append(entry.substr(0, equals))
            .append(1, ',')
            .append(entry.substr(equals + 1))
            .append(1, ']');
    }
    text += ']';
    return text;
}

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
