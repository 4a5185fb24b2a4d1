// Move-only owners of Windows handles, each knowing its own invalid value.
#pragma once

#include <windows.h>

namespace platform {

template <HANDLE (*Invalid)()>
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
        if (IsValid()) CloseHandle(handle_);
        handle_ = handle;
    }

  private:
    HANDLE handle_ = Invalid();
};

inline HANDLE InvalidFileHandle() { return INVALID_HANDLE_VALUE; }
inline HANDLE NullHandle() { return nullptr; }

// CreateFile gives INVALID_HANDLE_VALUE on failure.
using FileHandle = UniqueHandle<InvalidFileHandle>;
// Process and thread handles are null when absent.
using KernelHandle = UniqueHandle<NullHandle>;

}  // namespace platform
