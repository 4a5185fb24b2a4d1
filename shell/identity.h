/* The plug-in's identity, in one place: the version resource, the MIME
   description and the answers to the browser's name and description
   questions all read it. Plain #defines, so the resource compiler reads it
   too. */
#ifndef SHELL_IDENTITY_H
#define SHELL_IDENTITY_H

#define PLUGIN_MIME_TYPE "application/x-dravenilfileaccessplugin"
#define PLUGIN_FILE_EXTENSION "tolvex"
#define PLUGIN_NAME "DravenilFileAccessPlugin"
#define PLUGIN_DESCRIPTION "Dravenil File Access Plugin"
#define PLUGIN_PRODUCT_NAME "Dravenil File Access Plugin"
#define PLUGIN_FILE_DESCRIPTION "0.3"
#define PLUGIN_ORIGINAL_FILENAME "DravenilFileAccessPlugin.dll"
#define PLUGIN_VENDOR "Dravenil"
/* The descriptions of the other files the package ships. */
#define HOST_FILE_DESCRIPTION "Dravenil File Access Plugin host for current browsers"
#define SETUP_FILE_DESCRIPTION "Dravenil File Access Plugin installer checks"
/* The key below Software\MozillaPlugins by which the installer registers it. */
#define PLUGIN_REGISTRY_ID "@dravenil.com/FileAccessPlugin"
#define PLUGIN_VERSION_NUMBERS 5, 3, 0, 39
#define PLUGIN_VERSION_TEXT "5.3.0.39, 0, 0, 0"

/* The native-messaging host for current browsers: its name, and the add-on
   id of the Firefox build of the extension (the Chromium build's id follows
   from the key in its manifest). */
#define HOST_NAME "com.dravenil.fileaccess"
#define FIREFOX_ADDON_ID "fileaccess@dravenil.com"

/* type:.extension:description, as NP_GetMIMEDescription hands it out. */
#define PLUGIN_MIME_DESCRIPTION PLUGIN_MIME_TYPE ":." PLUGIN_FILE_EXTENSION ":" PLUGIN_PRODUCT_NAME

#endif
