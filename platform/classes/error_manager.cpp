#include "platform/classes/error_manager.h"

#include <cstdio>

#include "platform/core/errors.h"
#include "platform/runtime/runtime.h"

namespace pf {

ErrorManager AppErrors;

namespace {

// Kept on each program thread: the names of the procedures running on it, innermost last.
struct ProcedureNames {
  std::vector<std::string> names;
};

const std::vector<ErrorEntry>& standardTable() {
  static const std::vector<ErrorEntry> table = {
      {Msg::RetrievalError, Level::Notify, "Record Retrieval Error",
       "Error: (%ErrorText) attempting to access a record from the %File file.  Returning to previous "
       "window."},
      {Msg::AccessDenied, Level::Notify, "Access Denied",
       "Could not get write access to %File so trying read-only."},
      {Msg::InsertError, Level::Notify, "Record Insert Error",
       "An error was experienced during the creation of a record.|File: %File|Error: %ErrorText."},
      {Msg::ConfirmCancel, Level::User, "Changes will be lost!", "Are you sure you want to cancel?"},
      {Msg::ConfirmDelete, Level::User, "Confirm Delete",
       "Are you sure you want to delete the highlighted record?"},
      {Msg::CreateError, Level::Fatal, "File Creation Error", "Error: (%ErrorText) creating %File."},
      {Msg::DeleteError, Level::Notify, "Record was not deleted",
       "An error (%ErrorText) was experienced when deleting a record from the %File file."},
      {Msg::DeleteIllegal, Level::Notify, "Invalid Request",
       "This form cannot be used to delete a record"},
      {Msg::RangeError, Level::Notify, "Range Error", "The value of %Field must be in range %Message."},
      {Msg::FileLoadError, Level::Notify, "File Load Error",
       "%File File Load Error.  Error: %ErrorText."},
      {Msg::InsertIllegal, Level::Notify, "Invalid Request",
       "This form cannot be used to insert a record"},
      {Msg::OpenError, Level::Fatal, "File Access Error",
       "File %File could not be opened.  Error: %ErrorText."},
      {Msg::PutError, Level::Notify, "Record was not updated",
       "An error (%ErrorText) was experienced when making changes to the %File file."},
      {Msg::RebuildError, Level::Fatal, "Key was not built",
       "Error: (%ErrorText) repairing key for %File."},
      {Msg::RebuildKey, Level::Notify, "Invalid Key", "%File key file is invalid. Key must be rebuilt."},
      {Msg::RecordHeld, Level::Notify, "Record not read",
       "A record held by another station was encountered reading from the %File file."},
      {Msg::SaveRecord, Level::User, "Save Record", "Do you want to save the changes to this record?"},
      {Msg::UseError, Level::Program, "File Usage Error",
       "Attempt to use file (%File) before it was opened"},
      {Msg::NoRecords, Level::Notify, "No Records", "There are no records available to process."},
  };
  return table;
}

[[noreturn]] void endProgram() {
  endAllThreads();
  throw ProgramEnded{};  // off any program thread endAllThreads returns
}

}  // namespace

ErrorManager::ErrorManager() { init(); }

void ErrorManager::init() {
  table_.clear();
  for (const auto& e : standardTable()) table_[e.id] = e;
  file_.clear();
  field_.clear();
  message_.clear();
}

void ErrorManager::kill() {
  file_.clear();
  field_.clear();
  message_.clear();
}

void ErrorManager::setProcedureName(const std::string& name) {
  auto& names = ctx().local<ProcedureNames>().names;
  if (name.empty()) {
    if (!names.empty()) names.pop_back();
  } else {
    names.push_back(name);
  }
}

std::string ErrorManager::procedureName() const {
  if (!ctx().hasLocal<ProcedureNames>()) return {};
  const auto& names = ctx().local<ProcedureNames>().names;
  return names.empty() ? std::string() : names.back();
}

void ErrorManager::setFile(const std::string& name) { file_ = name; }
void ErrorManager::setField(const std::string& name) { field_ = name; }
void ErrorManager::setMessage(const std::string& text) { message_ = text; }

std::string ErrorManager::substitute(const std::string& text) const {
  // One pass, longest names first; inserted values are never scanned again, so a file
  // name holding "%Field" stays as it is.
  struct Name {
    const char* name;
    std::string value;
  };
  const Name names[] = {
      {"%ErrorText", errorText(errorcode())},
      {"%ErrorCode", std::to_string(errorcode())},
      {"%Procedure", procedureName()},
      {"%Message", message_},
      {"%Field", field_},
      {"%File", file_},
  };
  std::string out;
  out.reserve(text.size() + 32);
  for (std::size_t i = 0; i < text.size();) {
    bool replaced = false;
    if (text[i] == '%') {
      for (const auto& n : names) {
        std::string_view key(n.name);
        if (text.compare(i, key.size(), key) == 0) {
          out += n.value;
          i += key.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += text[i++];
  }
  return out;
}

const ErrorEntry* ErrorManager::entry(int id) const {
  auto it = table_.find(id);
  return it == table_.end() ? nullptr : &it->second;
}

void ErrorManager::addEntry(const ErrorEntry& e) { table_[e.id] = e; }

int ErrorManager::throwError(int id) {
  const ErrorEntry* e = entry(id);
  if (!e) {
    // A number missing from the table is the program's own fault: say so, go on.
    pf::message("Unknown error number " + std::to_string(id) + " in " + procedureName(), {},
                Icon::Exclamation);
    return Level::Program;
  }
  std::string text = substitute(e->text);
  switch (e->level) {
    case Level::Benign:
      return Level::Benign;
    case Level::User: {
      if (id == Msg::SaveRecord) {
        switch (pf::message(text, e->title, Icon::Question, "&Yes|&No|&Cancel", 3)) {
          case 1: return Level::Benign;
          case 2: return Level::User;
          default: return Level::Cancel;
        }
      }
      return pf::message(text, e->title, Icon::Question, "&Yes|&No", 1) == 1 ? Level::Benign
                                                                           : Level::Cancel;
    }
    case Level::Fatal: {
      const ErrorStatus& status = currentErrorStatus();
      if (!status.extra.empty())
        std::fprintf(stderr, "%s: %s (%s)\n", e->title.c_str(), text.c_str(), status.extra.c_str());
      pf::message(text + "  Press OK to end this application", e->title, Icon::Hand);
      endProgram();
    }
    case Level::Program:
    case Level::Cancel:
    case Level::Notify:
    default:
      pf::message(text, e->title, Icon::Exclamation);
      return e->level;
  }
}

int ErrorManager::throwFile(int id, const std::string& file) {
  setFile(file);
  return throwError(id);
}

int ErrorManager::throwMessage(int id, const std::string& message) {
  setMessage(message);
  return throwError(id);
}

void ErrorManager::threadFailed(std::exception_ptr failure) {
  std::string text;
  try {
    std::rethrow_exception(failure);
  } catch (const ProcedureFailed& f) {
    text = "An error has ended " + f.procedure + ":|" + f.cause;
  } catch (const std::exception& e) {
    text = "An error has ended a program thread:|" + std::string(e.what());
  } catch (...) {
    text = "An error has ended a program thread.";
  }
  stopBox(text);
}

int ErrorManager::message(int id, const std::string& buttons, int defaultButton) {
  const ErrorEntry* e = entry(id);
  if (!e) return defaultButton;
  return pf::message(substitute(e->text), e->title, Icon::Question, buttons, defaultButton);
}

}  // namespace pf
