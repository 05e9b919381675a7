// A control's use variable: where its value lives and how it is shown. Record fields
// (pf::String<N>, CString, Long, Date, Byte, Memo) and plain locals (std::string,
// std::int32_t, std::uint8_t) both bind; `picture` overrides the control's own picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/core/field.h"
#include "platform/core/record.h"

namespace pf {

struct Binding {
  FieldType type = FieldType::String;
  void* address = nullptr;
  std::size_t size = 0;
  std::string picture;
  bool stdString = false;   // address is a std::string

  bool bound() const { return address != nullptr; }
  bool numeric() const {
    return type == FieldType::Byte || type == FieldType::Long || type == FieldType::Date ||
           type == FieldType::Time;
  }
  // The variable as text (numbers in decimal, text without trailing blanks) and back.
  std::string get() const;
  std::int64_t getNumber() const;
  void set(const std::string& value) const;
  void setNumber(std::int64_t value) const;
};

template <std::size_t N>
Binding use(String<N>& v, std::string picture = {}) {
  return {FieldType::String, v.b, N, std::move(picture)};
}
template <std::size_t N>
Binding use(CString<N>& v, std::string picture = {}) {
  return {FieldType::CString, v.b, N, std::move(picture)};
}
template <std::size_t N>
Binding use(Memo<N>& v, std::string picture = {}) {
  return {FieldType::Memo, v.b, N, std::move(picture)};
}
inline Binding use(Long& v, std::string picture = {}) {
  return {FieldType::Long, v.b, 4, std::move(picture)};
}
inline Binding use(Date& v, std::string picture = {}) {
  return {FieldType::Date, v.b, 4, std::move(picture)};
}
inline Binding use(Time& v, std::string picture = {}) {
  return {FieldType::Time, v.b, 4, std::move(picture)};
}
inline Binding use(std::uint8_t& v, std::string picture = {}) {
  return {FieldType::Byte, &v, 1, std::move(picture)};
}
inline Binding use(std::int32_t& v, std::string picture = {}) {
  return {FieldType::Long, &v, 4, std::move(picture)};   // same bytes as pf::Long here
}
inline Binding use(std::string& v, std::string picture = {}) {
  Binding b{FieldType::String, &v, 0, std::move(picture)};
  b.stdString = true;
  return b;
}

}  // namespace pf
