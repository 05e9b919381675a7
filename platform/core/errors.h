// The per-thread status of the last file statement: errorcode(), error(), errorfile().
#pragma once

#include <string>

namespace pf {

// Platform error numbers (file drivers and file operations).
namespace Err {
constexpr int None = 0;
constexpr int NoFile = 2;            // "File Not Found"
constexpr int PathNotFound = 3;      // "Path Not Found"
constexpr int TooManyFiles = 4;
constexpr int AccessDenied = 5;      // "Access Denied"
constexpr int InvalidFile = 11;      // "Invalid Data File"
constexpr int Locked = 32;           // "File Is Already Locked"
constexpr int RecordNotAvailable = 33;  // "Record Not Available"
constexpr int NotOpen = 37;          // "File Not Open"
constexpr int BadRecord = 38;        // "Invalid Record Declaration"
constexpr int RecordHeld = 43;       // "Record Is Already Held"
constexpr int KeyFileRebuild = 46;   // "Key File Must Be Rebuilt"
constexpr int FileSystemError = 90;  // "File System Error"
constexpr int FileChanged = 89;      // "Record Changed By Another Station"
constexpr int NoTransaction = 48;    // "Unable To Log Transaction"
constexpr int BadOwner = 47;         // "Invalid Data File Owner / password"
}  // namespace Err

struct ErrorStatus {
  int code = 0;
  std::string file;     // the file of the last error
  std::string extra;    // driver detail (for example the SQLite message)
  void clear() { code = 0; file.clear(); extra.clear(); }
};

// The calling program thread's status. platform/runtime installs the provider that
// finds the current thread's; until then one process-wide status serves.
ErrorStatus& currentErrorStatus();
void setErrorStatusProvider(ErrorStatus& (*provider)());

// The platform's text for an error number ("File Not Found").
std::string errorText(int code);

inline int errorcode() { return currentErrorStatus().code; }
inline std::string error() { return errorText(currentErrorStatus().code); }
inline std::string errorfile() { return currentErrorStatus().file; }
inline void setError(int code, const std::string& file, const std::string& extra = {}) {
  auto& s = currentErrorStatus();
  s.code = code;
  s.file = file;
  s.extra = extra;
}
inline void clearError() { currentErrorStatus().clear(); }

}  // namespace pf
