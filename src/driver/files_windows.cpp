// The file layer on Windows: the two files of a run, their failures reported
// with the system's own error numbers.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "driver/driver.hpp"
#include "driver/files.hpp"
#include "tables/tables.hpp"

namespace ovrik {
namespace {

// ReadFile and WriteFile count in DWORDs; larger transfers go in pieces.
constexpr std::size_t kLargestTransfer = std::size_t{1} << 30;

[[noreturn]] void fail(DWORD windowsNumber, FileOperation operation) {
  throw FileFailure{reportedCode(static_cast<int>(windowsNumber)), operation};
}

// Only for use straight after the failing call: any later call may replace the number.
[[noreturn]] void failWithLastError(FileOperation operation) {
  fail(::GetLastError(), operation);
}

class WindowsSource final : public SourceFile {
 public:
  explicit WindowsSource(HANDLE handle) : handle_(handle) {}
  ~WindowsSource() override {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  WindowsSource(const WindowsSource&) = delete;
  WindowsSource& operator=(const WindowsSource&) = delete;

  std::size_t read(char* buffer, std::size_t size) override {
    DWORD count = 0;
    const auto wanted = static_cast<DWORD>(std::min(size, kLargestTransfer));
    if (!::ReadFile(handle_, buffer, wanted, &count, nullptr)) failWithLastError(kReadSource);
    return count;
  }

  void close() override {
    const HANDLE handle = std::exchange(handle_, INVALID_HANDLE_VALUE);
    if (handle != INVALID_HANDLE_VALUE && !::CloseHandle(handle)) failWithLastError(kCloseFile);
  }

 private:
  HANDLE handle_;
};

// ERROR_SUCCESS, or the number of the write that failed.
DWORD writeAll(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD count = 0;
    const auto wanted = static_cast<DWORD>(std::min(bytes.size(), kLargestTransfer));
    if (!::WriteFile(handle, bytes.data(), wanted, &count, nullptr)) return ::GetLastError();
    if (count == 0) return ERROR_DISK_FULL;
    bytes.remove_prefix(count);
  }
  return ERROR_SUCCESS;
}

// A listing that could not be written whole is taken away rather than left
// half written; anything that is not a plain file (a device, say) is left alone.
void removePartialListing(bool plainFile, const std::string& name) {
  if (plainFile) ::DeleteFileA(name.c_str());
}

}  // namespace

void prepareConsole() {
  // The C runtime starts both in text mode, which would turn each CR LF the run
  // writes into CR CR LF and end the typed name at a Ctrl-Z.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);  // the command line's diagnostics end in a line feed alone
}

std::unique_ptr<SourceFile> PlatformFiles::openSource(const std::string& name) {
  const HANDLE handle = ::CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) failWithLastError(kOpenSource);
  return std::make_unique<WindowsSource>(handle);
}

void PlatformFiles::removeListing(const std::string& name) {
  const DWORD attributes = ::GetFileAttributesA(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ::DeleteFileA(name.c_str());
  }
}

void PlatformFiles::writeListing(const std::string& name, std::string_view bytes) {
  const HANDLE handle = ::CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) failWithLastError(kCreateListing);
  const bool plainFile = ::GetFileType(handle) == FILE_TYPE_DISK;
  if (const DWORD error = writeAll(handle, bytes); error != ERROR_SUCCESS) {
    ::CloseHandle(handle);
    removePartialListing(plainFile, name);
    fail(error, kWriteListing);
  }
  if (!::CloseHandle(handle)) {
    const DWORD error = ::GetLastError();
    removePartialListing(plainFile, name);
    fail(error, kCloseFile);
  }
}

}  // namespace ovrik
