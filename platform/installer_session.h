// The Windows Installer session a custom action of the package runs in: its
// properties, and messages that go to the installer's log (and, for an
// error, to the user when the install has a user interface).
#pragma once

#include <optional>
#include <string>

namespace platform {

class InstallerSession {
  public:
    // `handle` is the MSIHANDLE the installer passes the custom action.
    explicit InstallerSession(unsigned long handle) : handle_(handle) {}

    // A property's value; nothing when it cannot be read. An unset property
    // is "".
    std::optional<std::string> Property(const std::string& name) const;
    // A line in the installer's log.
    void Log(const std::string& text) const;
    // An error of the install, logged and shown.
    void Error(const std::string& text) const;

  private:
    void Message(int kind, const std::string& text) const;
    unsigned long handle_;
};

}  // namespace platform
