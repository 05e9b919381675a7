#include "platform/core/value.h"

#include <cstring>
#include <limits>

#include "platform/core/field.h"

namespace pf {
namespace {

std::int32_t readInt32(const unsigned char* p) {
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(p[i]) << (8 * i);
  return static_cast<std::int32_t>(u);
}

void writeInt32(unsigned char* p, std::int32_t v) {
  auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(u >> (8 * i));
}

std::int32_t wrap32(std::int64_t v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }

}  // namespace

std::int64_t toNumber(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  std::uint64_t v = 0;
  constexpr auto limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    v = v * 10 + static_cast<std::uint64_t>(s[i] - '0');
    if (v > limit) v = limit;  // saturate rather than wrap to a wrong sign
  }
  auto n = static_cast<std::int64_t>(v);
  return negative ? -n : n;
}

std::int64_t Value::number() const {
  if (auto* n = std::get_if<std::int64_t>(&v_)) return *n;
  return toNumber(std::get<std::string>(v_));
}

std::string Value::text() const {
  if (auto* n = std::get_if<std::int64_t>(&v_)) return std::to_string(*n);
  return std::get<std::string>(v_);
}

Value fieldValue(const FieldDesc& field, const void* buffer) {
  const auto* p = static_cast<const unsigned char*>(buffer) + field.offset;
  const char* c = reinterpret_cast<const char*>(p);
  switch (field.type) {
    case FieldType::String: {
      std::size_t n = field.size;
      while (n > 0 && c[n - 1] == ' ') --n;
      return std::string(c, n);
    }
    case FieldType::CString:
    case FieldType::Memo:
      return std::string(c, strnlen(c, field.size));
    case FieldType::Byte:
      return static_cast<std::int64_t>(p[0]);
    case FieldType::Long:
    case FieldType::Time:
      return static_cast<std::int64_t>(readInt32(p));
    case FieldType::Date: {
      Date d;
      std::memcpy(d.b, p, 4);
      return static_cast<std::int64_t>(d.get());
    }
  }
  return {};
}

void setFieldValue(const FieldDesc& field, void* buffer, const Value& value) {
  auto* p = static_cast<unsigned char*>(buffer) + field.offset;
  char* c = reinterpret_cast<char*>(p);
  switch (field.type) {
    case FieldType::String: {
      std::string s = value.text();
      std::size_t n = utf8Fit(s, field.size);
      std::memcpy(c, s.data(), n);
      std::memset(c + n, ' ', field.size - n);
      return;
    }
    case FieldType::CString:
    case FieldType::Memo: {
      std::string s = value.text();
      if (auto z = s.find('\0'); z != std::string::npos) s.resize(z);
      std::size_t room = field.type == FieldType::CString ? (field.size ? field.size - 1 : 0) : field.size;
      std::size_t n = utf8Fit(s, room);
      std::memcpy(c, s.data(), n);
      std::memset(c + n, 0, field.size - n);
      return;
    }
    case FieldType::Byte:
      p[0] = static_cast<unsigned char>(value.number());
      return;
    case FieldType::Long:
    case FieldType::Time:
      writeInt32(p, wrap32(value.number()));
      return;
    case FieldType::Date: {
      std::int64_t n = value.number();
      Date d;
      d.set(n > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                           : static_cast<std::int32_t>(n));
      std::memcpy(p, d.b, 4);
      return;
    }
  }
}

}  // namespace pf
