// A page drives the desktop player through the exchange folder and follows
// it, then keeps a workspace.
// EXCHANGE stands for the folder the demonstration serves.
resetSync("EXCHANGE")
setReplayPos("1000", false, "EXCHANGE")
:sleep 400
checkReplayUpdate(false, "EXCHANGE")
getCurrentCallID(false)
startPlayback(false)
:sleep 1000
readCurrentReplayPos(false, "EXCHANGE")
:sleep 1000
readCurrentReplayPos(false, "EXCHANGE")
stopPlayback(false, "EXCHANGE")
:sleep 400
checkReplayUpdate(false, "EXCHANGE")
// The other variant has been left alone.
checkReplayUpdate(true, "EXCHANGE")
// Wrong calls: an unknown name throws, wrong arguments give undefined.
FileExists("C:\\")
startPlayback("yes")
// A workspace set of the demonstration's own (OUTER stands for its name): a
// workspace created, listed, given settings and volumes, copied, measured and
// removed again.
createWSFolder("OUTER", "North", "2026")
getWorkspaceList("OUTER", "2026")
writeWSCurrentView("OUTER", "North", "2026", "timeline")
readWSCurrentView("OUTER", "North", "2026")
writeWSTimelineVol("OUTER", "North", "2026", "7", "80")
writeWSTimelineVol("OUTER", "North", "2026", "12", "100")
getTimelineVols("OUTER", "North", "2026")
getMissingOrBufferingCalls("OUTER", "North", "2026", "call-1,call-2")
getCallDetailsForWorkspace("OUTER", "North", "2026")
copyWSFolder("OUTER", "2026", "North", "South")
getWorkspaceList("OUTER", "2026")
getWorkspaceUsage("OUTER", "2026")
// A name that would leave the workspace set is refused and touches nothing.
deleteWorkspace("..", "..", "..")
deleteWorkspace("OUTER", "North", "2026")
deleteWorkspace("OUTER", "South", "2026")
getWorkspaceList("OUTER", "2026")
