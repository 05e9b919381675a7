// A field's or variable's value as pictures, lists and reports handle it: a number or a text.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "platform/core/record.h"

namespace pf {

class Value {
 public:
  Value() : v_(std::int64_t{0}) {}
  template <std::integral T>
  Value(T n) : v_(static_cast<std::int64_t>(n)) {}  // NOLINT(google-explicit-constructor)
  Value(std::string s) : v_(std::move(s)) {}       // NOLINT(google-explicit-constructor)
  Value(std::string_view s) : v_(std::string(s)) {}  // NOLINT(google-explicit-constructor)
  Value(const char* s) : v_(std::string(s)) {}     // NOLINT(google-explicit-constructor)

  bool isNumber() const { return std::holds_alternative<std::int64_t>(v_); }
  bool isText() const { return !isNumber(); }
  // A text converts by its leading integer ("  42abc" is 42, "abc" is 0).
  std::int64_t number() const;
  // A number converts to its decimal digits.
  std::string text() const;

  friend bool operator==(const Value&, const Value&) = default;

 private:
  std::variant<std::int64_t, std::string> v_;
};

// The leading integer of a text, blanks before it skipped; 0 when there is none.
std::int64_t toNumber(std::string_view s);

// Reads a field from a record buffer: STRING without its trailing blanks, CSTRING and
// MEMO up to their zero byte, BYTE/LONG/TIME as numbers, DATE as its day number.
Value fieldValue(const FieldDesc& field, const void* buffer);
// Writes a field as an assignment would: texts cut at a character boundary (STRING blank
// padded, CSTRING leaving room for its zero byte), numbers wrapped to the field's width.
void setFieldValue(const FieldDesc& field, void* buffer, const Value& value);

}  // namespace pf
