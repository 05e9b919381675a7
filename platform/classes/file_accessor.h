// The class-library bases through which every program thread opens, reads, writes and
// closes its data files: one FileAccessor and one FileRelations per file and thread.
// Results are levels (platform/classes/error_manager.h): 0 done, 2 program error,
// 3 fatal or read error, 4 cancelled, 5 reported or not found.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/record.h"
#include "platform/store/file.h"

namespace pf {

class ErrorManager;

// What AccessorFirstUse is asked for: attach only, or a read or write that needs the
// file physically open.
enum class UseKind { Initialize, Use };

struct AccessorKey {
  const KeyDesc* key = nullptr;
  std::string description;
  bool autoInc = false;
};

struct AccessorBuffer {
  void* address = nullptr;
  const FileDesc* layout = nullptr;
  std::size_t size = 0;
};

// What FileSaveState keeps: the file's position and sequence, and the buffer.
struct AccessorState {
  std::shared_ptr<File::State> file;
  std::vector<unsigned char> buffer;
};

class FileAccessor {
 public:
  FileAccessor();
  virtual ~FileAccessor();
  FileAccessor(const FileAccessor&) = delete;
  FileAccessor& operator=(const FileAccessor&) = delete;

  File* FILE = nullptr;
  AccessorBuffer BUFFER;
  std::string FILENAMEVALUE;  // %File in messages
  ErrorManager* ERRORS = nullptr;
  std::vector<AccessorKey> KEYS;
  int OPENMODE = OpenMode::ReadWrite | OpenMode::DenyNone;
  bool LAZYOPEN = true;
  bool CREATE = true;
  int LOCKRECOVER = 10;
  int OPENED = 0;             // logical opens by this thread
  bool USED = false;          // physically open
  bool INITIALIZED = false;   // attached
  bool INUSEFILE = false;     // first use running

  virtual void ExposeFields();
  virtual int FileClose();
  virtual int FileFetchOrClear(const KeyDesc& key);
  virtual void AccessorSetup();
  virtual void AccessorAttach(File& file, ErrorManager& errors);
  virtual int FileInsert();
  virtual void AccessorTearDown();
  // 0 read, 5 end of file, 3 a read error (reported as error 31 or 1): a pass that
  // meets 3 must stop, it is not at the end.
  virtual int FileNext();
  virtual int FileOpen();
  virtual int FilePrevious();
  virtual int FilePrimeAutoInc();
  virtual void PrimeNewRecord();
  virtual int FilePrimeRecord(bool keep = false);
  virtual void FileRestoreState(const AccessorState& state);
  virtual AccessorState FileSaveState();
  virtual int FileThrowError();
  virtual int FileThrowMessage(int id, const std::string& text);
  // 0 found, 5 not found, 3 the file cannot be used.
  virtual int FileFetch(const KeyDesc& key);
  virtual int FileUpdate();
  virtual int AccessorFirstUse(UseKind kind);
  virtual int CheckFieldValue(int field, bool report);  // field numbers from 1
  virtual int FileDeleteRecord(bool ask);

  int FileFetchQuiet(const KeyDesc& key);
  int FileInsertQuiet();
  int FileNextQuiet();
  int FileOpenQuiet();
  int FilePreviousQuiet();
  int FilePrimeAutoIncQuiet();
  int FileUpdateQuiet();
  int FileValidateFieldReport(int field);
  int FileValidateFieldQuiet(int field);

  void FileAddKey(const KeyDesc& key, const std::string& description, bool autoInc = false);
  void FileSetErrors(ErrorManager& errors);
  // "QUICKSCAN=on/off" for the file's driver, now or when it is next opened.
  void FileSetQuickScan(bool on);

  // The error number last raised (or left pending) by this accessor; 0 when none.
  int pendingError() const { return pendingError_; }

  static int instances();  // accessors alive in the process

 protected:
  // Makes the missing file. The base creates it empty.
  virtual int FileCreate();
  // Raises a table error for this file (silently while quiet) and returns its level.
  int Throw(int id);
  int ThrowMessage(int id, const std::string& text);
  void ClearBuffer();
  bool quiet() const { return quiet_; }

 private:
  int physicalOpen();
  int readStep(bool forward);
  template <class F> int runQuiet(F f);

  bool quiet_ = false;
  int pendingError_ = 0;
  std::string pendingMessage_;
  bool quickScan_ = false;
};

enum class RelationMode { None };

struct RelationLink {
  void* field = nullptr;
  int width = 0;
  void* relatedField = nullptr;
  int relatedWidth = 0;
};

class FileRelations;

struct Relation {
  FileRelations* related = nullptr;
  bool hasModes = false;  // false for a file added with RelationAddFile
  RelationMode updateMode = RelationMode::None;
  RelationMode deleteMode = RelationMode::None;
  const KeyDesc* key = nullptr;
  std::vector<RelationLink> links;
};

class FileRelations {
 public:
  FileRelations();
  virtual ~FileRelations();
  FileRelations(const FileRelations&) = delete;
  FileRelations& operator=(const FileRelations&) = delete;

  FileAccessor* ME = nullptr;
  std::vector<Relation> RELATIONS;
  bool USELOGOUT = false;
  int LOGOUTTIMEOUT = 2;
  bool DEFEREDRELATIONSDONE = false;

  // `nested` is the top-level flag: false from procedures, true when a related
  // relation object passes the call on. Each file is handled once per call.
  virtual int RelationClose(bool nested = false);
  // Deletes the current record (asking first when `ask`), wait cursor meanwhile.
  virtual int RelationDelete(bool ask = true);
  virtual void RelationsTearDown();
  // Opens this file physically at once and counts one logical open of each related
  // file, which opens physically at its first real use. Returns the open's level.
  virtual int RelationOpen(bool nested = false);
  virtual int RelationSetQuickScan(bool on, int propagate = 0);
  virtual int RelationUpdate();
  // Reads the current record again once the write's frame holds the file, lets `change`
  // alter the buffer, then writes it: another writer's change that came while this one
  // waited for the file is kept, not overwritten by what was read before.
  int RelationUpdate(const std::function<void()>& change);
  // The write of a form: the current record is written only while the file still holds
  // it as `asRead` (the buffer as the form read it), compared once the write's frame
  // holds the file. When another writer changed it meanwhile nothing is written,
  // `onFile` gets the record as the file holds it now, and error 28 is raised with the
  // platform's "Record Changed By Another Station".
  [[nodiscard]] virtual int RelationUpdateIfUnchanged(const std::vector<unsigned char>& asRead,
                                                      std::vector<unsigned char>& onFile);
  virtual void AddRelations();

  void RelationsSetup(FileAccessor& me, bool useLogout);
  void RelationDeferSetup();
  void RelationAddRelation(FileRelations& related, RelationMode updateMode,
                           RelationMode deleteMode, const KeyDesc& key);
  void RelationAddLinkFields(void* field, int width, void* relatedField, int relatedWidth);
  void RelationAddFile(FileRelations& related);

  static int instances();

 private:
  template <class F> void eachRelated(F f);
  int update(const std::function<void()>* change);
  unsigned long stamp_ = 0;
};

// Error 1 for a read of `file` that failed with the error the thread holds, through the
// relation object's accessor when there is one. Returns its level.
int throwReadError(const FileRelations* relation, const File& file);

// The window layer shows the wait cursor while a relation object deletes.
void setWaitCursorHook(std::function<void(bool on)> hook);

}  // namespace pf
