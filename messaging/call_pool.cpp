#include "messaging/call_pool.h"

#include <algorithm>

namespace messaging {
namespace {

const std::string* Text(const embedding::Value& value) { return std::get_if<std::string>(&value); }

bool Overlaps(const Scope& a, const Scope& b) {
    return a.set == b.set && (a.wholeSet || b.wholeSet || a.workspace == b.workspace);
}

}  // namespace

std::string AsciiFoldedKey(const std::vector<std::string_view>& names) {
    std::string key;
    for (const std::string_view name : names) {
        for (const char c : name) key += c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
        key += '\0';
    }
    return key;
}

std::vector<Scope> ScopesOf(std::span<const scriptable::ParameterDoc> parameters,
                            const std::vector<embedding::Value>& args, const FolderKey& key) {
    using scriptable::ParameterRole;
    const std::string *outer = nullptr, *inner = nullptr;
    std::vector<const std::string*> workspaces;
    for (size_t i = 0; i < parameters.size() && i < args.size(); ++i) {
        const std::string* text = Text(args[i]);
        if (!text) continue;
        if (parameters[i].role == ParameterRole::Outer) outer = text;
        if (parameters[i].role == ParameterRole::Inner) inner = text;
        if (parameters[i].role == ParameterRole::Workspace) workspaces.push_back(text);
    }
    std::vector<Scope> scopes;
    if (!outer || !inner) return scopes;
    const std::string set = key({*outer, *inner});
    if (workspaces.empty()) scopes.push_back({set, {}, true});
    for (const std::string* workspace : workspaces) {
        scopes.push_back({set, key({*outer, *inner, *workspace})});
    }
    return scopes;
}

size_t ArgumentBytes(const std::vector<embedding::Value>& args) {
    size_t bytes = 0;
    for (const embedding::Value& arg : args) {
        if (const std::string* text = Text(arg)) bytes += text->size();
    }
    return bytes;
}

bool Overlap(const std::vector<Scope>& a, const std::vector<Scope>& b) {
    for (const Scope& x : a) {
        for (const Scope& y : b) {
            if (Overlaps(x, y)) return true;
        }
    }
    return false;
}

CallPool::CallPool(size_t workers, Run run) : run_(std::move(run)) {
    for (size_t i = 0; i < workers; ++i) workers_.emplace_back([this, i] { Work(i); });
}

CallPool::~CallPool() {
    CancelAll();
    {
        const std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

bool CallPool::MustWait(const std::vector<Scope>& scopes) const {
    const std::lock_guard<std::mutex> hold(lock_);
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const Entry& entry) { return Overlap(entry.call->scopes, scopes); });
}

bool CallPool::Empty() const {
    const std::lock_guard<std::mutex> hold(lock_);
    return entries_.empty();
}

size_t HeldBytes(const PoolCall& call) {
    size_t bytes = ArgumentBytes(call.args) + call.id.size() + call.method.size() +
                   (call.origin ? call.origin->size() : 0);
    for (const Scope& scope : call.scopes) bytes += scope.set.size() + scope.workspace.size();
    return bytes;
}

bool CallPool::Add(std::shared_ptr<PoolCall> call, const WaitingBound& bound) {
    const size_t bytes = HeldBytes(*call);
    {
        const std::lock_guard<std::mutex> hold(lock_);
        size_t waitingCalls = 0, waitingBytes = 0;
        for (const Entry& entry : entries_) {
            if (entry.running) continue;
            ++waitingCalls;
            waitingBytes += entry.bytes;
        }
        if (waitingCalls > 0 &&
            (waitingCalls >= bound.calls || waitingBytes + bytes > bound.bytes)) {
            return false;
        }
        entries_.push_back({std::move(call), bytes});
    }
    changed_.notify_all();
    return true;
}

bool CallPool::Cancel(std::string_view id) {
    const std::lock_guard<std::mutex> hold(lock_);
    for (Entry& entry : entries_) {
        if (entry.call->id == id) {
            entry.call->cancelled = true;
            return true;
        }
    }
    return false;
}

void CallPool::CancelAll() {
    const std::lock_guard<std::mutex> hold(lock_);
    for (Entry& entry : entries_) entry.call->cancelled = true;
}

void CallPool::Drain() {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [&] { return entries_.empty(); });
}

CallPool::Entry* CallPool::NextRunnable() {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->running) continue;
        const bool heldBack = std::any_of(entries_.begin(), it, [&](const Entry& earlier) {
            return Overlap(earlier.call->scopes, it->call->scopes);
        });
        if (!heldBack) return &*it;
    }
    return nullptr;
}

void CallPool::Work(size_t worker) {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        Entry* next = nullptr;
        changed_.wait(hold, [&] { return (next = NextRunnable()) != nullptr || stopping_; });
        if (!next) return;
        next->running = true;
        const std::shared_ptr<PoolCall> call = next->call;
        hold.unlock();
        try {
            run_(worker, *call);
        } catch (...) {
            // The run answers its call; nothing may end the worker.
        }
        hold.lock();
        entries_.remove_if([&](const Entry& entry) { return entry.call == call; });
        changed_.notify_all();
    }
}

}  // namespace messaging
