#include "platform/trace.h"

#include <string>

void Trace(const char* /*text*/) {}

TraceScope::TraceScope(const char* name) : name_(name) { Trace(name_); }

TraceScope::~TraceScope() {
    try {
        Trace((std::string(name_) + " - end").c_str());
    } catch (...) {
        // Tracing never changes the outcome of an operation.
    }
}
