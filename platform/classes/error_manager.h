// The numbered message table behind every error the data-access and window objects
// raise (AppErrors). Shared by all program threads; the procedure name is per thread.
#pragma once

#include <exception>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/runtime/message.h"

namespace pf {

namespace Level {
constexpr int Benign = 0;
constexpr int User = 1;     // a question to the user
constexpr int Program = 2;
constexpr int Fatal = 3;
constexpr int Cancel = 4;
constexpr int Notify = 5;
}  // namespace Level

// Error numbers of the table.
namespace Msg {
constexpr int RetrievalError = 1;
constexpr int AccessDenied = 2;
constexpr int InsertError = 4;
constexpr int ConfirmCancel = 10;
constexpr int ConfirmDelete = 11;
constexpr int CreateError = 12;
constexpr int DeleteError = 13;
constexpr int DeleteIllegal = 14;
constexpr int RangeError = 18;
constexpr int FileLoadError = 21;
constexpr int InsertIllegal = 23;
constexpr int OpenError = 26;
constexpr int PutError = 28;
constexpr int RebuildError = 29;
constexpr int RebuildKey = 30;
constexpr int RecordHeld = 31;
constexpr int SaveRecord = 38;
constexpr int UseError = 42;
constexpr int NoRecords = 47;
}  // namespace Msg

// What ended a window procedure by an exception: the innermost procedure it left, and
// the exception's own text.
class ProcedureFailed : public std::runtime_error {
 public:
  ProcedureFailed(std::string procedure, const std::string& cause)
      : std::runtime_error(procedure + ": " + cause), procedure(std::move(procedure)), cause(cause) {}
  std::string procedure;
  std::string cause;
};

struct ErrorEntry {
  int id;
  int level;
  std::string title;
  std::string text;  // with %File, %Field, %Message, %ErrorText, %Procedure
};

class ErrorManager {
 public:
  ErrorManager();
  void init();
  void kill();

  // The running procedure of the calling thread (a stack: the last pushed is named).
  void setProcedureName(const std::string& name);  // empty pops
  std::string procedureName() const;

  void setFile(const std::string& name);      // %File
  void setField(const std::string& name);     // %Field
  void setMessage(const std::string& text);   // %Message

  // Raise an error of the table; shows it as its level asks and returns the level the
  // user's answer gives (a level-1 question: Benign for yes, Cancel for no; the
  // Yes/No/Cancel question SaveRecord, Cancel the default: Benign for yes, User for no,
  // Cancel for cancel). Levels 2 and 5 show the text with OK and return their level. A
  // fatal error is shown with "  Press OK to end this application" after its text and
  // then ends the program: it never returns (ProgramEnded unwinds the caller).
  // Texts may use %File, %Field, %Message, %ErrorText, %ErrorCode and %Procedure.
  int throwError(int id);
  int throwFile(int id, const std::string& file);
  int throwMessage(int id, const std::string& message);
  // A program thread that an exception has ended, told in the platform's stop box: what
  // ended which procedure. Abort ends the program; Ignore lets the other threads go on.
  void threadFailed(std::exception_ptr failure);
  // A question of the table with its own buttons; returns the 1-based answer.
  int message(int id, const std::string& buttons, int defaultButton);

  // The entry text with every %-name filled in (for tests and for messages).
  std::string substitute(const std::string& text) const;
  const ErrorEntry* entry(int id) const;
  void addEntry(const ErrorEntry& e);

 private:
  std::map<int, ErrorEntry> table_;
  std::string file_, field_, message_;
};

extern ErrorManager AppErrors;

}  // namespace pf
