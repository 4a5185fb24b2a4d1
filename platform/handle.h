// Move-only owners of Windows handles, each knowing its own invalid value.
#pragma once

#include <windows.h>

namespace platform {

template <HANDLE (*Invalid)(), void (*Close)(HANDLE)>
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(Invalid()); }

    bool IsValid() const { return handle_ != Invalid(); }
    HANDLE Get() const { return handle_; }
    HANDLE Release() {
        HANDLE handle = handle_;
        handle_ = Invalid();
        return handle;
    }
    void Reset(HANDLE handle) {
        if (IsValid()) Close(handle_);
        handle_ = handle;
    }

  private:
    HANDLE handle_ = Invalid();
};

inline HANDLE InvalidFileHandle() { return INVALID_HANDLE_VALUE; }
inline HANDLE NullHandle() { return nullptr; }
inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void CloseSearchHandle(HANDLE handle) { FindClose(handle); }

// CreateFile gives INVALID_HANDLE_VALUE on failure.
using FileHandle = UniqueHandle<InvalidFileHandle, CloseKernelHandle>;
// Process and thread handles are null when absent.
using KernelHandle = UniqueHandle<NullHandle, CloseKernelHandle>;
// FindFirstFile gives INVALID_HANDLE_VALUE on failure; FindClose ends it.
using SearchHandle = UniqueHandle<InvalidFileHandle, CloseSearchHandle>;

}  // namespace platform
