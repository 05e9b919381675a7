// Declarations of files, records and keys: what a file driver needs to know to store a
// record buffer and to keep its keys.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pf {

enum class FieldType { String, CString, Byte, Long, Date, Time, Memo };

struct FieldDesc {
  std::string name;     // with its prefix, as expressions name it: "WEB:DESCRIPTION"
  FieldType type;
  std::uint32_t offset; // byte offset in the record buffer (memos lie after the fixed part)
  std::uint32_t size;   // bytes
};

struct KeyComponent {
  int field;            // index into FileDesc::fields
  bool descending = false;
};

// Every key of the system: duplicates allowed, letter case ignored, and a record whose key
// fields are all blank or zero is left out of the key.
struct KeyDesc {
  std::string name;     // "WEB:KeyDescription"
  std::vector<KeyComponent> components;
};

// Fields whose tests decide counts of a key's records (a text field by its value without
// letter case): the store keeps the key's records in an index by these fields too, so
// that such a count reads that index alone.
struct CountIndexDesc {
  std::string key;
  std::vector<int> fields;
};

enum class Driver { Indexed, Basic, Ascii };

class FileKey;  // platform/store/file_key.h

struct FileDesc {
  std::string label;         // "WSites"
  std::string prefix;        // "WEB"
  std::string diskName;      // "wsites.tps"
  Driver driver = Driver::Indexed;
  FileKey* cipher = nullptr; // the key it is encrypted with; nullptr: a plain file
  bool create = true;        // created when an open finds it missing
  std::uint32_t recordSize = 0;  // fixed part, memos excluded
  std::uint32_t bufferSize = 0;  // fixed part plus memos
  std::vector<FieldDesc> fields;
  std::vector<KeyDesc> keys;
  std::vector<CountIndexDesc> countIndexes;

  int fieldIndex(const std::string& name) const;   // letter case ignored; -1 when absent
  const KeyDesc* key(const std::string& name) const;
};

// Whether field `f` holds the same value in two record buffers, as the store keeps it:
// STRING without its trailing blanks, CSTRING and MEMO up to their zero byte.
[[nodiscard]] bool sameFieldValue(const FieldDesc& f, const void* a, const void* b);
// Whether every field of `desc` holds the same value in both buffers.
[[nodiscard]] bool sameRecord(const FileDesc& desc, const void* a, const void* b);

// Open modes: access in the low nibble, sharing in the high nibble.
namespace OpenMode {
constexpr int ReadOnly = 0x0;
constexpr int WriteOnly = 0x1;
constexpr int ReadWrite = 0x2;
constexpr int AnyAccess = 0x0;     // sharing: compatibility
constexpr int DenyAll = 0x10;
constexpr int DenyWrite = 0x20;
constexpr int DenyRead = 0x30;
constexpr int DenyNone = 0x40;
}  // namespace OpenMode

}  // namespace pf
