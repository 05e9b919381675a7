// Putting records on file for a test's folder, and reading them back.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/store/file.h"

namespace qbtest {

// Adds a record for each item, making the file first when the test has none yet;
// `fill` sets the record from the item.
template <class Record, class Item, class Fill>
void addRecords(const pf::FileDesc& desc, const std::vector<Item>& items, Fill fill) {
  Record r;
  pf::File f(desc, &r);
  if (!pf::fileExists(desc.diskName)) {
    ASSERT_EQ(f.create(), 0);
  }
  ASSERT_EQ(f.open(), 0);
  // One transaction: thousands of records are written in a moment.
  ASSERT_EQ(f.logout(), 0);
  for (const auto& item : items) {
    fill(r, item);
    ASSERT_EQ(f.add(), 0);
  }
  ASSERT_EQ(f.commit(), 0);
  f.close();
}

// Every record of a file in record order; none when the file cannot be opened.
template <class Record>
std::vector<Record> readRecords(const pf::FileDesc& desc) {
  std::vector<Record> out;
  Record r;
  pf::File f(desc, &r);
  if (f.open() != 0) return out;
  f.set();
  while (f.next() == 0) out.push_back(r);
  f.close();
  return out;
}

// A file's bytes as they are on disk; empty when it cannot be read.
inline std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Overwrites most of the first page of an encrypted data file, past its salt, as a
// failing disk would.
inline void damageFirstPage(const std::string& file) {
  std::string bytes = fileBytes(file);
  ASSERT_GT(bytes.size(), 8192u);
  std::fill(bytes.begin() + 200, bytes.begin() + 3000, '\x55');
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace qbtest
