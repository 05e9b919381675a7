#include "platform/ui/binding.h"

#include "platform/core/value.h"

namespace pf {
namespace {

FieldDesc desc(const Binding& b) {
  FieldDesc d;
  d.type = b.type;
  d.offset = 0;
  d.size = static_cast<std::uint32_t>(b.size);
  return d;
}

}  // namespace

std::string Binding::get() const {
  if (!address) return {};
  if (stdString) return *static_cast<const std::string*>(address);
  return fieldValue(desc(*this), address).text();
}

std::int64_t Binding::getNumber() const {
  if (!address) return 0;
  if (stdString) return toNumber(*static_cast<const std::string*>(address));
  return fieldValue(desc(*this), address).number();
}

void Binding::set(const std::string& value) const {
  if (!address) return;
  if (stdString) {
    *static_cast<std::string*>(address) = value;
    return;
  }
  if (numeric())
    setFieldValue(desc(*this), address, Value(toNumber(value)));
  else
    setFieldValue(desc(*this), address, Value(value));
}

void Binding::setNumber(std::int64_t value) const {
  if (!address) return;
  if (stdString) {
    *static_cast<std::string*>(address) = std::to_string(value);
    return;
  }
  setFieldValue(desc(*this), address, Value(value));
}

}  // namespace pf
