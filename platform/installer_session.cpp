#include "platform/installer_session.h"

#include <windows.h>
// windows.h first: the installer's declarations build on it.
#include <msi.h>
#include <msiquery.h>

#include <vector>

namespace platform {
namespace {

// Owns one installer record and closes it on every path.
class Record {
  public:
    explicit Record(unsigned fields) : handle_(MsiCreateRecord(fields)) {}
    ~Record() {
        if (handle_) MsiCloseHandle(handle_);
    }
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;
    MSIHANDLE Get() const { return handle_; }

  private:
    MSIHANDLE handle_;
};

}  // namespace

std::optional<std::string> InstallerSession::Property(const std::string& name) const {
    std::vector<char> value(256);
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = static_cast<DWORD>(value.size());
        const UINT result = MsiGetPropertyA(handle_, name.c_str(), value.data(), &size);
        if (result == ERROR_SUCCESS) return std::string(value.data(), size);
        if (result != ERROR_MORE_DATA) return std::nullopt;
        value.resize(size + 1);
    }
    return std::nullopt;
}

void InstallerSession::Log(const std::string& text) const { Message(INSTALLMESSAGE_INFO, text); }

void InstallerSession::Error(const std::string& text) const { Message(INSTALLMESSAGE_ERROR, text); }

void InstallerSession::Message(int kind, const std::string& text) const {
    // Brackets and braces in the text ("http://[::1]", "[ProductName]")
    // would be read as property names or conditional parts, also in a field
    // (Wine formats a field's text again): each goes in escaped, as "[\[]".
    std::string escaped;
    escaped.reserve(text.size() + 16);
    for (const char c : text) {
        if (c == '[' || c == ']' || c == '{' || c == '}') {
            escaped += "[\\";
            escaped += c;
            escaped += ']';
        } else {
            escaped += c;
        }
    }
    const Record record(0);
    if (!record.Get()) return;
    MsiRecordSetStringA(record.Get(), 0, escaped.c_str());
    MsiProcessMessage(handle_, static_cast<INSTALLMESSAGE>(kind), record.Get());
}

}  // namespace platform
