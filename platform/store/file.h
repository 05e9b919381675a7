// File statements over one thread's instance of a declared file. Every statement sets
// the calling thread's error status (errorcode() 0 on success) and returns that code.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/errors.h"
#include "platform/core/record.h"

namespace pf {

// A record's place: enough to read it again and to restart a sequence there.
struct Position {
  std::int64_t row = 0;       // 0 = none
  std::string key;            // encoded key value (for a key sequence); may be empty
  bool empty() const { return row == 0; }
  std::string encode() const; // a text form for list rows (VIEWPOSITION)
  static Position decode(const std::string& s);
};

class FileDriver;  // the driver behind a File (indexed, comma-delimited, ascii)

class File {
 public:
  // `buffer` is this thread's record buffer of desc.bufferSize bytes. The file keeps `desc`
  // by reference: it must outlive the file, so a temporary one is refused.
  File(const FileDesc& desc, void* buffer);
  File(FileDesc&&, void*) = delete;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  const FileDesc& desc() const { return desc_; }
  void* buffer() const { return buffer_; }
  // The name used for the file in error messages and errorfile(): the disk name.
  const std::string& name() const { return desc_.diskName; }
  // The path the name resolves to (letter case ignored within the folder).
  std::string path() const;

  int open(int mode = OpenMode::ReadWrite | OpenMode::DenyNone);
  int create();               // a new, empty file in place of any old one; leaves it closed
  int close();
  bool isOpen() const;
  bool readOnly() const;      // opened without write access
  int openMode() const;
  // Driver strings: "QUICKSCAN=on", "QUICKSCAN=off", "Recover=10".
  int send(const std::string& option);
  // A comma-delimited file written whole: the next open for writing starts an empty file
  // under a temporary name, and close() puts it in place of the file of exactly this
  // name (readable by its owner only), or drops it when a line could not be written.
  int replaceOnClose();

  // Sequences. set() starts record order; set(key) starts the key's order at its first
  // entry; setFromBuffer(key) starts at the first entry whose key value is not below
  // the buffer's; setAt(pos) restarts (in the current order) at a position.
  void set();
  void set(const KeyDesc& key);
  void setFromBuffer(const KeyDesc& key);
  void setAt(const Position& pos);
  // 0 read into the buffer; Err::RecordNotAvailable (33) at the end; any other code is a
  // read error and the sequence is not at its end.
  int next();
  int previous();

  // Fetches the first record (in key order) whose key fields equal the buffer's;
  // Err::RecordNotAvailable when there is none.
  int get(const KeyDesc& key);
  int get(const Position& pos);
  // Reads the record at a position again into the buffer.
  int reget(const Position& pos) { return get(pos); }
  Position position() const;  // of the record last read, added or written
  // The text last read by the text drivers: the comma-delimited driver's whole line; the
  // line driver's record as read (a longer line goes on in the next records).
  std::string line() const;

  int add();                  // buffer as a new record; becomes the current record
  int put();                  // buffer over the current record
  // The buffer over the current record, only while the file still holds that record as
  // `asRead` (the buffer as the record was read, bufferSize bytes): once a write
  // transaction holds the file, the record is read again and compared field by field.
  // When another writer changed it meanwhile, nothing is written, `onFile` receives the
  // record as the file now holds it and the answer is Err::FileChanged. Inside a
  // transaction of the caller's that one serves; otherwise the write commits at once.
  [[nodiscard]] int putIfUnchanged(const std::vector<unsigned char>& asRead, std::vector<unsigned char>& onFile);
  int remove();               // deletes the current record (DELETE)
  // Record count; -1 with the error set when it cannot be counted.
  std::int64_t records();
  int build();                // rebuild every key

  // Transaction frame (LOGOUT / COMMIT / ROLLBACK) on this file.
  int logout();
  int commit();
  int rollback();
  bool inTransaction() const;

  // The file's state (position, sequence and buffer) for FileSaveState/FileRestoreState.
  struct State;
  std::shared_ptr<State> saveState() const;
  void restoreState(const State& s);

  FileDriver* driver() const { return driver_.get(); }

  // Keys rebuilt by build() since the file object was made.
  std::uint64_t keysBuilt() const { return keysBuilt_; }

 private:
  int step(bool prev);
  const FileDesc& desc_;
  void* buffer_;
  std::unique_ptr<FileDriver> driver_;
  bool readSinceSet_ = false;  // of the file's own sequence
  std::uint64_t keysBuilt_ = 0;
};

// Removes the new comma-delimited file that a program ended midway through replaceOnClose()
// left beside `desc`'s file; one that a running export holds locked stays.
void removeLeftReplacement(const FileDesc& desc);

// What a read that meets a damaged key does (Err::KeyFileRebuild: a record's key value is
// not the one its fields make): `handler` is given the file and answers whether its keys
// have been rebuilt, and the read then goes on. Without one, or when it answers false,
// the read reports the error.
void setDamagedKeyHandler(std::function<bool(File&)> handler);
bool handleDamagedKey(File& file);

// Runs a read of `file` that met a damaged key once more when the keys have been rebuilt
// and `fromStart`: the sequence has handed out no record since it was set, so the
// rebuilt order holds for all it will read. Otherwise the keys are rebuilt all the same,
// for the next sequence, and the read reports the damage.
template <class Read>
int readRebuildingKeys(File& file, bool fromStart, Read read) {
  int r = read();
  if (r == Err::KeyFileRebuild && handleDamagedKey(file) && fromStart) r = read();
  return r;
}

// File operations by name (relative names are in the current directory; letter case of
// an existing file's name is ignored). Each sets the thread's error status.
bool fileExists(const std::string& name);
int removeFile(const std::string& name);
int copyFile(const std::string& from, const std::string& to);  // replaces `to`
// The same for a name the user chose: `to` is taken exactly as given, so a file whose name
// differs only in letter case is another file and stays as it is.
int copyFileExactly(const std::string& from, const std::string& to);
int makeDirectory(const std::string& name);
std::string currentDirectory();
int setCurrentDirectory(const std::string& name);
// The path a name resolves to: an existing entry matching without regard to letter case,
// else the name as given.
std::string resolveName(const std::string& name);

}  // namespace pf
