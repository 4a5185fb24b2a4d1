// The trace hook: every operation announces its entry and exit here. The
// system keeps no log, so the hook writes the texts nowhere; it is the one
// place a diagnostic build would route them.
#pragma once

void Trace(const char* text);

// Traces `name` on construction and `name - end` when the scope is left.
class TraceScope {
  public:
    explicit TraceScope(const char* name);
    ~TraceScope();
    TraceScope(const TraceScope&) = delete;
    TraceScope& operator=(const TraceScope&) = delete;

  private:
    const char* name_;
};
