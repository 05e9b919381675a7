#include "platform/core/errors.h"

namespace pf {
namespace {

ErrorStatus& processStatus() {
  static ErrorStatus status;
  return status;
}

ErrorStatus& (*statusProvider)() = &processStatus;

}  // namespace

ErrorStatus& currentErrorStatus() { return statusProvider(); }

void setErrorStatusProvider(ErrorStatus& (*provider)()) {
  statusProvider = provider ? provider : &processStatus;
}

std::string errorText(int code) {
  switch (code) {
    case Err::None: return "";
    case Err::NoFile: return "File Not Found";
    case Err::PathNotFound: return "Path Not Found";
    case Err::TooManyFiles: return "Too Many Open Files";
    case Err::AccessDenied: return "Access Denied";
    case Err::InvalidFile: return "Invalid Data File";
    case Err::Locked: return "File Is Already Locked";
    case Err::RecordNotAvailable: return "Record Not Available";
    case Err::NotOpen: return "File Not Open";
    case Err::BadRecord: return "Invalid Record Declaration";
    case Err::RecordHeld: return "Record Is Already Held";
    case Err::KeyFileRebuild: return "Key File Must Be Rebuilt";
    case Err::BadOwner: return "Invalid Data File Owner";
    case Err::NoTransaction: return "Unable To Log Transaction";
    case Err::FileChanged: return "Record Changed By Another Station";
    case Err::FileSystemError: return "File System Error";
    default: return "Error " + std::to_string(code);
  }
}

}  // namespace pf
