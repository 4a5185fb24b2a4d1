// A page drives the desktop player through the exchange folder and follows it.
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
