// The render command's files on Windows (see safe_file.h).
#include "host/cli/safe_file.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "host/cli/signal_cleanup.h"
#include "host/wide_text.h"

namespace velk::host {

namespace {

// `path` without the "\\?\" that the system puts before a final path.
std::string Shown(const std::wstring& path) {
  if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
    return Utf8FromWide(L"\\\\" + path.substr(8));
  }
  if (path.compare(0, 4, L"\\\\?\\") == 0) return Utf8FromWide(path.substr(4));
  return Utf8FromWide(path);
}

[[noreturn]] void Fail(const std::string& path, const std::string& why) {
  throw FileError("cannot write " + path + ": " + why);
}

}  // namespace

struct OutputFile::Destination {
  HANDLE file = INVALID_HANDLE_VALUE;  // what Write() writes to
  bool ownsFile = true;                // false for the standard output handle
  std::wstring target;                 // the file replaced or made, absolute
  bool replacing = false;              // an existing file: ReplaceFileW
  std::wstring temporary;              // empty: none (left)
  int slot = -1;                       // its slot for the console handler
  DWORD error = ERROR_SUCCESS;         // of the first failed write

  // Makes the temporary file in the target's folder; throws.
  void CreateTemporary() {
    const std::wstring folder =
        target.substr(0, target.find_last_of(L"\\/") + 1);
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::wstring name = folder + L".velk-host-" +
                                std::to_wstring(_getpid()) + L"-" +
                                std::to_wstring(attempt) + L".tmp";
      const SignalsHeld held;  // made and registered as one step
      // Shared for deletion: the console handler removes it while open.
      file = CreateFileW(name.c_str(), GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                         CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file != INVALID_HANDLE_VALUE) {
        temporary = name;
        slot = RegisterTemporaryFile(name);
        return;
      }
      error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    std::string shownFolder = Shown(folder);
    if (shownFolder.size() > 1 && shownFolder.back() == '\\' &&
        shownFolder[shownFolder.size() - 2] != ':') {
      shownFolder.pop_back();
    }
    throw FileError("cannot create a temporary file in " + shownFolder + ": " +
                    SystemMessage(error));
  }

  void RemoveTemporary() {
    const SignalsHeld held;
    if (file != INVALID_HANDLE_VALUE && ownsFile) CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
    if (temporary.empty()) return;
    DeleteFileW(temporary.c_str());
    ForgetTemporaryFile(slot);
    temporary.clear();
  }
};

File OpenToRead(const std::string& path) {
  errno = 0;
  std::FILE* file = nullptr;
  if (path == "-") {
    const int copy = _dup(0);
    if (copy >= 0) {
      _setmode(copy, _O_BINARY);
      file = _fdopen(copy, "rb");
      if (file == nullptr) _close(copy);
    }
  } else {
    file = _wfopen(WideFromUtf8(path).c_str(), L"rb");
  }
  if (file == nullptr) {
    throw FileError("cannot open " + path + ": " + std::strerror(LastErrno()));
  }
  return File(file);
}

OutputFile::OutputFile(const std::string& path)
    : path_(path), destination_(std::make_unique<Destination>()) {
  Destination& out = *destination_;
  if (path == "-") {
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
    out.file = GetStdHandle(STD_OUTPUT_HANDLE);
    out.ownsFile = false;
    if (out.file == INVALID_HANDLE_VALUE || out.file == nullptr) {
      Fail(path, std::strerror(EBADF));
    }
    return;
  }
  // Absolute first: "C:name" is in drive C's current folder, wherever the
  // current folder is.
  out.target = FullPath(WideFromUtf8(path));
  const HANDLE probe =
      CreateFileW(out.target.c_str(), 0,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) Fail(path, SystemMessage(error));
    out.CreateTemporary();  // a new file
    return;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileType(probe) != FILE_TYPE_DISK ||
      !GetFileInformationByHandle(probe, &information)) {
    // A device or a pipe: written in place.
    CloseHandle(probe);
    out.file = CreateFileW(out.target.c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out.file == INVALID_HANDLE_VALUE) {
      Fail(path, SystemMessage(GetLastError()));
    }
    return;
  }
  // The file at the end of any links.
  const std::wstring final = FilledText([probe](wchar_t* buffer, DWORD size) {
    return GetFinalPathNameByHandleW(probe, buffer, size, 0);
  });
  if (!final.empty()) out.target = final;
  CloseHandle(probe);
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    Fail(path, std::strerror(EISDIR));
  }
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
    Fail(path, std::strerror(EACCES));  // refused, as copy refuses it
  }
  out.replacing = true;
  out.CreateTemporary();
}

OutputFile::~OutputFile() { destination_->RemoveTemporary(); }

void OutputFile::Write(const void* data, std::size_t size) {
  Destination& out = *destination_;
  const char* bytes = static_cast<const char*>(data);
  while (out.error == ERROR_SUCCESS && size > 0) {
    const DWORD chunk =
        static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
    DWORD written = 0;
    if (!WriteFile(out.file, bytes, chunk, &written, nullptr)) {
      out.error = GetLastError();
    } else if (written == 0) {
      out.error = ERROR_WRITE_FAULT;
    }
    bytes += written;
    size -= written;
  }
}

void OutputFile::Commit() {
  Destination& out = *destination_;
  if (out.error != ERROR_SUCCESS) Fail(path_, SystemMessage(out.error));
  if (out.temporary.empty()) {  // written in place
    if (out.ownsFile && !CloseHandle(out.file)) {
      out.file = INVALID_HANDLE_VALUE;
      Fail(path_, SystemMessage(GetLastError()));
    }
    out.file = INVALID_HANDLE_VALUE;
    return;
  }
  if (!FlushFileBuffers(out.file)) Fail(path_, SystemMessage(GetLastError()));
  const BOOL closed = CloseHandle(out.file);
  out.file = INVALID_HANDLE_VALUE;
  if (!closed) Fail(path_, SystemMessage(GetLastError()));
  if (out.replacing) {
    // ReplaceFileW keeps them too, where the system's own does; given here
    // first so that no version of it drops them.
    const DWORD attributes = GetFileAttributesW(out.target.c_str());
    const DWORD kept =
        attributes == INVALID_FILE_ATTRIBUTES
            ? 0
            : attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (kept != 0 && !SetFileAttributesW(out.temporary.c_str(), kept)) {
      throw FileError("cannot keep the attributes of " + path_ + ": " +
                      SystemMessage(GetLastError()));
    }
  }
  DWORD error = ERROR_SUCCESS;
  {
    const SignalsHeld held;  // renamed and forgotten as one step
    // ReplaceFileW gives the new file the old one's attributes and
    // security.
    BOOL renamed =
        out.replacing
            ? ReplaceFileW(out.target.c_str(), out.temporary.c_str(), nullptr,
                           REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
            : MoveFileExW(out.temporary.c_str(), out.target.c_str(),
                          MOVEFILE_WRITE_THROUGH);
    if (!renamed && GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
      // The old file is gone already and the new one not in place: put it
      // there rather than lose both.
      renamed = MoveFileExW(out.temporary.c_str(), out.target.c_str(),
                            MOVEFILE_WRITE_THROUGH);
    }
    if (renamed) {
      ForgetTemporaryFile(out.slot);
      out.temporary.clear();
    } else {
      error = GetLastError();
    }
  }
  if (error != ERROR_SUCCESS) {
    throw FileError("cannot rename the temporary file to " + Shown(out.target) +
                    ": " + SystemMessage(error));
  }
}

}  // namespace velk::host
#endif
