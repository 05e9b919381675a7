#include "platform/classes/file_accessor.h"

#include <cstring>

#include "platform/classes/error_manager.h"
#include "platform/core/errors.h"
#include "platform/store/bind.h"

namespace pf {

namespace {

int accessorCount = 0;
int relationCount = 0;
unsigned long callStamp = 0;

std::function<void(bool)>& waitCursorHook() {
  static std::function<void(bool)> hook;
  return hook;
}

struct WaitCursor {
  bool on = false;
  void show() {
    if (!on && waitCursorHook()) waitCursorHook()(true);
    on = true;
  }
  void hide() {
    if (on && waitCursorHook()) waitCursorHook()(false);
    on = false;
  }
  ~WaitCursor() { hide(); }
};

bool writeAccess(int mode) { return (mode & 0x0F) != OpenMode::ReadOnly; }

// A read that meets a damaged key takes the open's road: "Invalid Key", then the keys are
// made again from the records. A write frame ends first, since the message waits.
bool rebuildDamagedKeys(File& file) {
  if (file.inTransaction() && file.commit() != Err::None) return false;
  AppErrors.setFile(file.name());
  AppErrors.throwError(Msg::RebuildKey);
  return file.build() == Err::None;
}

[[maybe_unused]] const bool damagedKeysRebuilt = (setDamagedKeyHandler(rebuildDamagedKeys), true);

}  // namespace

void setWaitCursorHook(std::function<void(bool on)> hook) { waitCursorHook() = std::move(hook); }

int throwReadError(const FileRelations* relation, const File& file) {
  const FileAccessor* accessor = relation ? relation->ME : nullptr;
  ErrorManager& errors = accessor && accessor->ERRORS ? *accessor->ERRORS : AppErrors;
  return errors.throwFile(Msg::RetrievalError, accessor ? accessor->FILENAMEVALUE : file.name());
}

// ---------------------------------------------------------------------------------
// FileAccessor

FileAccessor::FileAccessor() { ++accessorCount; }

FileAccessor::~FileAccessor() {
  if (USED && FILE) FILE->close();
  --accessorCount;
}

int FileAccessor::instances() { return accessorCount; }

template <class F>
int FileAccessor::runQuiet(F f) {
  struct Restore {
    bool& flag;
    bool old;
    ~Restore() { flag = old; }
  } restore{quiet_, quiet_};
  quiet_ = true;
  return f();
}

int FileAccessor::Throw(int id) {
  pendingError_ = id;
  pendingMessage_.clear();
  if (!ERRORS) return Level::Notify;
  ERRORS->setFile(FILENAMEVALUE);
  if (quiet_) {
    const ErrorEntry* e = ERRORS->entry(id);
    return e ? e->level : Level::Notify;
  }
  return ERRORS->throwError(id);
}

int FileAccessor::ThrowMessage(int id, const std::string& text) {
  pendingError_ = id;
  pendingMessage_ = text;
  if (!ERRORS) return Level::Notify;
  ERRORS->setFile(FILENAMEVALUE);
  if (quiet_) {
    ERRORS->setMessage(text);
    const ErrorEntry* e = ERRORS->entry(id);
    return e ? e->level : Level::Notify;
  }
  return ERRORS->throwMessage(id, text);
}

void FileAccessor::ClearBuffer() {
  if (!BUFFER.address) return;
  auto* p = static_cast<unsigned char*>(BUFFER.address);
  std::memset(p, 0, BUFFER.size);
  if (!BUFFER.layout) return;
  for (const auto& f : BUFFER.layout->fields)
    if (f.type == FieldType::String && f.offset + f.size <= BUFFER.size)
      std::memset(p + f.offset, ' ', f.size);
}

void FileAccessor::ExposeFields() {
  if (BUFFER.layout && BUFFER.address) bindRecord(*BUFFER.layout, BUFFER.address);
}

void FileAccessor::AccessorSetup() {
  OPENED = 0;
  USED = false;
  LAZYOPEN = true;
}

void FileAccessor::AccessorAttach(File& file, ErrorManager& errors) {
  FILE = &file;
  ERRORS = &errors;
  KEYS.clear();
  OPENMODE = OpenMode::ReadWrite | OpenMode::DenyNone;
  CREATE = true;
  LOCKRECOVER = 10;
  FILENAMEVALUE = file.name().substr(0, 256);
  INITIALIZED = true;
}

void FileAccessor::AccessorTearDown() {
  if (USED && FILE) FILE->close();
  USED = false;
  OPENED = 0;
  INITIALIZED = false;
  FILE = nullptr;
}

void FileAccessor::FileAddKey(const KeyDesc& key, const std::string& description, bool autoInc) {
  KEYS.push_back({&key, description, autoInc});
}

void FileAccessor::FileSetErrors(ErrorManager& errors) { ERRORS = &errors; }

void FileAccessor::FileSetQuickScan(bool on) {
  quickScan_ = on;
  if (USED && FILE) FILE->send(on ? "QUICKSCAN=on" : "QUICKSCAN=off");
}

int FileAccessor::AccessorFirstUse(UseKind kind) {
  if (kind != UseKind::Use) return Level::Benign;
  if (!FILE || OPENED == 0) return Throw(Msg::UseError);
  if (!USED) return physicalOpen();
  return Level::Benign;
}

int FileAccessor::FileCreate() { return FILE->create(); }

// Two rounds at most. Read-only is a fallback for this open only: OPENMODE stays as it
// is, so the next physical open asks for write access again.
int FileAccessor::physicalOpen() {
  int mode = OPENMODE;
  for (int round = 0; round < 2; ++round) {
    int err = FILE->open(mode);
    if (err == Err::AccessDenied) {
      FILE->send("Recover=" + std::to_string(LOCKRECOVER));
      err = FILE->open(mode);
    }
    if (err == Err::None) {
      USED = true;
      if (quickScan_) FILE->send("QUICKSCAN=on");
      return Level::Benign;
    }
    if (err == Err::AccessDenied) {
      if (!writeAccess(mode)) break;
      mode = OpenMode::ReadOnly | (mode & 0xF0);
      Throw(Msg::AccessDenied);
      continue;
    }
    if (err == Err::NoFile) {
      if (!CREATE) break;
      if (FileCreate() == Err::None) continue;
      Throw(Msg::CreateError);
      return Throw(Msg::OpenError);
    }
    if (err == Err::KeyFileRebuild) {
      Throw(Msg::RebuildKey);
      if (quiet_) return Level::Notify;
      if (FILE->build() != Err::None) return Throw(Msg::RebuildError);
      continue;
    }
    break;
  }
  return Throw(Msg::OpenError);
}

int FileAccessor::FileOpen() {
  int level = AccessorFirstUse(UseKind::Initialize);
  if (level != Level::Benign) return level;
  ExposeFields();
  ++OPENED;
  if (!LAZYOPEN && !USED) level = physicalOpen();
  return level;
}

int FileAccessor::FileClose() {
  if (OPENED == 0) return Level::Benign;
  if (--OPENED == 0 && USED) {
    if (FILE) FILE->close();
    USED = false;
  }
  return Level::Benign;
}

int FileAccessor::readStep(bool forward) {
  int level = AccessorFirstUse(UseKind::Use);
  if (level != Level::Benign) return level;
  int err = forward ? FILE->next() : FILE->previous();
  if (err == Err::None) return Level::Benign;
  if (err == Err::RecordNotAvailable) return Level::Notify;
  Throw(err == Err::RecordHeld ? Msg::RecordHeld : Msg::RetrievalError);
  return Level::Fatal;
}

int FileAccessor::FileNext() { return readStep(true); }
int FileAccessor::FilePrevious() { return readStep(false); }

int FileAccessor::FileFetch(const KeyDesc& key) {
  if (AccessorFirstUse(UseKind::Use) != Level::Benign) return Level::Fatal;
  int err = FILE->get(key);
  if (err == Err::None) return Level::Benign;
  Throw(Msg::RetrievalError);
  return err == Err::RecordNotAvailable ? Level::Notify : Level::Fatal;
}

int FileAccessor::FileFetchOrClear(const KeyDesc& key) {
  if (AccessorFirstUse(UseKind::Use) != Level::Benign) return Level::Fatal;
  int err = FILE->get(key);
  if (err == Err::None) return Level::Benign;
  if (err == Err::RecordNotAvailable) {
    ClearBuffer();
    return Level::Notify;
  }
  Throw(Msg::RetrievalError);
  return Level::Fatal;
}

int FileAccessor::FileInsert() {
  int level = AccessorFirstUse(UseKind::Use);
  if (level != Level::Benign) return level;
  level = FilePrimeAutoInc();
  if (level != Level::Benign) return level;
  if (FILE->add() == Err::None) return Level::Benign;
  return Throw(Msg::InsertError);
}

int FileAccessor::FileUpdate() {
  int level = AccessorFirstUse(UseKind::Use);
  if (level != Level::Benign) return level;
  if (FILE->put() == Err::None) return Level::Benign;
  return Throw(Msg::PutError);
}

int FileAccessor::FileDeleteRecord(bool ask) {
  int level = AccessorFirstUse(UseKind::Use);
  if (level != Level::Benign) return level;
  if (ask && ERRORS) {
    ERRORS->setFile(FILENAMEVALUE);
    if (ERRORS->throwError(Msg::ConfirmDelete) != Level::Benign) return Level::Cancel;
  }
  if (FILE->remove() == Err::None) return Level::Benign;
  // Left pending: the caller reports it once its wait cursor is gone.
  pendingError_ = Msg::DeleteError;
  pendingMessage_.clear();
  return Level::Notify;
}

int FileAccessor::FilePrimeAutoInc() { return Level::Benign; }

void FileAccessor::PrimeNewRecord() {}

int FileAccessor::FilePrimeRecord(bool keep) {
  if (!keep) ClearBuffer();
  PrimeNewRecord();
  return FilePrimeAutoInc();
}

AccessorState FileAccessor::FileSaveState() {
  AccessorState s;
  if (FILE && USED) s.file = FILE->saveState();
  if (BUFFER.address) {
    auto* p = static_cast<const unsigned char*>(BUFFER.address);
    s.buffer.assign(p, p + BUFFER.size);
  }
  return s;
}

void FileAccessor::FileRestoreState(const AccessorState& s) {
  if (s.file && FILE && USED) FILE->restoreState(*s.file);
  if (BUFFER.address && s.buffer.size() == BUFFER.size)
    std::memcpy(BUFFER.address, s.buffer.data(), BUFFER.size);
}

int FileAccessor::FileThrowError() {
  if (pendingError_ == 0) return Level::Benign;
  return pendingMessage_.empty() ? Throw(pendingError_) : ThrowMessage(pendingError_, pendingMessage_);
}

int FileAccessor::FileThrowMessage(int id, const std::string& text) { return ThrowMessage(id, text); }

int FileAccessor::CheckFieldValue(int, bool) { return Level::Benign; }

int FileAccessor::FileValidateFieldReport(int field) { return CheckFieldValue(field, true); }
int FileAccessor::FileValidateFieldQuiet(int field) { return CheckFieldValue(field, false); }

int FileAccessor::FileFetchQuiet(const KeyDesc& key) { return runQuiet([&] { return FileFetch(key); }); }
int FileAccessor::FileInsertQuiet() { return runQuiet([&] { return FileInsert(); }); }
int FileAccessor::FileNextQuiet() { return runQuiet([&] { return FileNext(); }); }
int FileAccessor::FileOpenQuiet() { return runQuiet([&] { return FileOpen(); }); }
int FileAccessor::FilePreviousQuiet() { return runQuiet([&] { return FilePrevious(); }); }
int FileAccessor::FilePrimeAutoIncQuiet() { return runQuiet([&] { return FilePrimeAutoInc(); }); }
int FileAccessor::FileUpdateQuiet() { return runQuiet([&] { return FileUpdate(); }); }

// ---------------------------------------------------------------------------------
// FileRelations

FileRelations::FileRelations() { ++relationCount; }
FileRelations::~FileRelations() { --relationCount; }
int FileRelations::instances() { return relationCount; }

void FileRelations::RelationsSetup(FileAccessor& me, bool useLogout) {
  ME = &me;
  RELATIONS.clear();
  USELOGOUT = useLogout;
  LOGOUTTIMEOUT = 2;
}

void FileRelations::RelationDeferSetup() { DEFEREDRELATIONSDONE = false; }

void FileRelations::AddRelations() {}

void FileRelations::RelationAddRelation(FileRelations& related, RelationMode updateMode,
                                        RelationMode deleteMode, const KeyDesc& key) {
  Relation r;
  r.related = &related;
  r.hasModes = true;
  r.updateMode = updateMode;
  r.deleteMode = deleteMode;
  r.key = &key;
  RELATIONS.push_back(std::move(r));
}

void FileRelations::RelationAddLinkFields(void* field, int width, void* relatedField,
                                          int relatedWidth) {
  if (RELATIONS.empty()) return;
  RELATIONS.back().links.push_back({field, width, relatedField, relatedWidth});
}

void FileRelations::RelationAddFile(FileRelations& related) {
  Relation r;
  r.related = &related;
  RELATIONS.push_back(std::move(r));
}

// Passes a call on to the related files not yet reached by the same call: relations
// that lead back to a file already handled stop there.
template <class F>
void FileRelations::eachRelated(F f) {
  for (auto& r : RELATIONS) {
    FileRelations* other = r.related;
    if (!other || other->stamp_ == stamp_) continue;
    other->stamp_ = stamp_;
    f(*other);
  }
}

int FileRelations::RelationOpen(bool nested) {
  if (!nested) stamp_ = ++callStamp;
  if (!ME) return Level::Program;
  int level = ME->FileOpen();
  if (level == Level::Benign && !nested) level = ME->AccessorFirstUse(UseKind::Use);
  if (!DEFEREDRELATIONSDONE) {
    DEFEREDRELATIONSDONE = true;
    AddRelations();
  }
  eachRelated([](FileRelations& other) { other.RelationOpen(true); });
  return level;
}

int FileRelations::RelationClose(bool nested) {
  if (!nested) stamp_ = ++callStamp;
  if (!ME) return Level::Program;
  int level = ME->FileClose();
  eachRelated([](FileRelations& other) { other.RelationClose(true); });
  return level;
}

int FileRelations::RelationSetQuickScan(bool on, int propagate) {
  if (!ME) return Level::Program;
  stamp_ = ++callStamp;
  ME->FileSetQuickScan(on);
  if (propagate) eachRelated([on](FileRelations& other) {
      if (other.ME) other.ME->FileSetQuickScan(on);
    });
  return Level::Benign;
}

int FileRelations::RelationUpdate() { return update(nullptr); }

int FileRelations::RelationUpdate(const std::function<void()>& change) { return update(&change); }

int FileRelations::RelationUpdateIfUnchanged(const std::vector<unsigned char>& asRead,
                                             std::vector<unsigned char>& onFile) {
  onFile.clear();
  if (!ME) return Level::Program;
  int level = ME->AccessorFirstUse(UseKind::Use);
  if (level != Level::Benign) return level;
  if (ME->FILE->putIfUnchanged(asRead, onFile) == Err::None) return Level::Benign;
  return ME->FileThrowMessage(Msg::PutError, {});
}

int FileRelations::update(const std::function<void()>* change) {
  if (!ME) return Level::Program;
  File* f = ME->FILE;
  int level = ME->AccessorFirstUse(UseKind::Use);
  if (level != Level::Benign) return level;
  // A frame only when one can be had; the write's message comes after the frame ends,
  // because a message box waits and no frame may stay open across a wait.
  bool framed = USELOGOUT && f && !f->readOnly() && !f->inTransaction() && f->logout() == Err::None;
  if (change) {
    if (f->get(f->position()) != Err::None) {
      int code = errorcode();
      if (framed) f->rollback();
      setError(code, f->name());
      return ME->FileThrowMessage(Msg::PutError, {});
    }
    (*change)();
  }
  if (!framed) return ME->FileUpdate();
  level = ME->FileUpdateQuiet();
  if (level == Level::Benign) {
    if (f->commit() == Err::None) return level;
    int code = errorcode();
    f->rollback();
    setError(code, f->name());
    return ME->FileThrowMessage(Msg::PutError, {});
  }
  int code = errorcode();
  f->rollback();
  setError(code, f->name());
  return ME->FileThrowError();
}

int FileRelations::RelationDelete(bool ask) {
  if (!ME) return Level::Program;
  int level = ME->AccessorFirstUse(UseKind::Use);
  if (level != Level::Benign) return level;
  if (ask && ME->ERRORS) {
    ME->ERRORS->setFile(ME->FILENAMEVALUE);
    if (ME->ERRORS->throwError(Msg::ConfirmDelete) != Level::Benign) return Level::Cancel;
  }
  WaitCursor cursor;
  cursor.show();
  level = ME->FileDeleteRecord(false);
  cursor.hide();
  if (level == Level::Notify && ME->pendingError() == Msg::DeleteError) return ME->FileThrowError();
  return level;
}

void FileRelations::RelationsTearDown() {
  RELATIONS.clear();
  DEFEREDRELATIONSDONE = false;
  ME = nullptr;
}

}  // namespace pf
