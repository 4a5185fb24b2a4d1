// A page's first calls on the plug-in's scriptable object.
getWorkspaceList("Team", "Ana")
FileExists("C:\\")
fileExists(5)
startPlayback("yes")
