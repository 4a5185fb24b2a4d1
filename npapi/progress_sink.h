// Following the plug-in's long methods. A browser that runs them off the
// page's thread (the native-messaging host does) answers NPN_GetValue for
// kProgressSinkVariable with a ProgressSink for the instance; the walks then
// report how far they are and stop when the sink says so. A browser that does
// not know the variable answers an error, and nothing is reported.
#pragma once

#include <cstdint>

#include "npapi/npapi.h"

constexpr NPNVariable kProgressSinkVariable = static_cast<NPNVariable>(0x44524156);  // "DRAV"

struct ProgressReport {
    uint64_t entriesDone;
    uint64_t bytesDone;
    uint64_t entriesTotal;  // meaningful once totalsKnown
    uint64_t bytesTotal;
    uint32_t totalsKnown;
};

struct ProgressSink {
    void* context;
    // 0: the call was cancelled, and the walk stops at its next entry.
    int32_t(NPAPI_CALLBACK* report)(void* context, const ProgressReport* report);
};
