#include "rnt/variant.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt {

namespace {

// Rounds to the nearest whole number, a half to the even one, as the
// platform's integer conversions do (2.5 -> 2, 3.5 -> 4), independently of the
// process's floating-point rounding mode.
double RoundHalfToEven(double value) {
  const double lower = std::floor(value);
  const double fraction = value - lower;
  if (fraction < 0.5) return lower;
  if (fraction > 0.5) return lower + 1;
  return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

// The value as a whole number of the integer type T, rounded half to even.
template <typename T>
T ToWhole(const Variant& value, const char* type_name) {
  const double rounded = RoundHalfToEven(value.ToDouble());
  if (!(rounded >= std::numeric_limits<T>::min() && rounded <= std::numeric_limits<T>::max())) {
    throw Error(std::string("out of range for a ") + type_name + ": " + Describe(value));
  }
  return static_cast<T>(rounded);
}

// A double taken as a date serial: the whole days, the fraction being a time of day.
Date DateOfSerial(double serial) {
  if (!(std::fabs(serial) < 2147483648.0)) {
    throw Error("date serial outside the years 100 to 9999: " + NumberText(serial));
  }
  return Date::FromSerial(static_cast<int32_t>(std::trunc(serial)));
}

}  // namespace

Variant Variant::Null() {
  Variant null;
  null.value_ = NullValue{};
  return null;
}

bool Variant::IsNumber() const {
  const VariantType kind = type();
  return kind == VariantType::kInt16 || kind == VariantType::kInt32 || kind == VariantType::kDouble;
}

std::string Variant::ToText() const {
  switch (type()) {
    case VariantType::kEmpty:
      return std::string();
    case VariantType::kInt16:
      return std::to_string(int16());
    case VariantType::kInt32:
      return std::to_string(int32());
    case VariantType::kDouble:
      return NumberText(dbl());
    case VariantType::kDate:
      return ShortDateText(date());
    case VariantType::kText:
      return text();
    case VariantType::kNull:
    case VariantType::kObject:
      break;
  }
  throw Error("no text for " + Describe(*this));
}

double Variant::ToDouble() const {
  switch (type()) {
    case VariantType::kEmpty:
      return 0;
    case VariantType::kInt16:
      return int16();
    case VariantType::kInt32:
      return int32();
    case VariantType::kDouble:
      return dbl();
    case VariantType::kDate:
      return date().serial();
    case VariantType::kText: {
      const std::optional<double> number = ParseNumberText(text());
      if (!number) throw Error("not a number: '" + text() + "'");
      return *number;
    }
    case VariantType::kNull:
    case VariantType::kObject:
      break;
  }
  throw Error("not a number: " + Describe(*this));
}

int32_t Variant::ToInt32() const {
  if (type() == VariantType::kInt16) return int16();
  if (type() == VariantType::kInt32) return int32();
  return ToWhole<int32_t>(*this, "32-bit integer");
}

int16_t Variant::ToInt16() const {
  if (type() == VariantType::kInt16) return int16();
  return ToWhole<int16_t>(*this, "16-bit integer");
}

Date Variant::ToDate() const {
  switch (type()) {
    case VariantType::kEmpty:
      return Date::FromSerial(0);
    case VariantType::kInt16:
      return Date::FromSerial(int16());
    case VariantType::kInt32:
      return Date::FromSerial(int32());
    case VariantType::kDouble:
      return DateOfSerial(dbl());
    case VariantType::kDate:
      return date();
    case VariantType::kText: {
      const std::optional<Date> day = ParseDateText(text());
      if (!day) throw Error("not a date: '" + text() + "'");
      return *day;
    }
    case VariantType::kNull:
    case VariantType::kObject:
      break;
  }
  throw Error("not a date: " + Describe(*this));
}

std::shared_ptr<Object> Variant::ToObject() const {
  if (type() != VariantType::kObject) throw Error("not an object: " + Describe(*this));
  return std::get<std::shared_ptr<Object>>(value_);
}

Variant Negate(const Variant& v) {
  switch (v.type()) {
    case VariantType::kEmpty:
      return Variant(int16_t{0});
    case VariantType::kNull:
      return Variant::Null();
    case VariantType::kInt16:
      if (v.int16() == std::numeric_limits<int16_t>::min()) return Variant(-int32_t{v.int16()});
      return Variant(static_cast<int16_t>(-v.int16()));
    case VariantType::kInt32:
      if (v.int32() == std::numeric_limits<int32_t>::min())
        return Variant(-static_cast<double>(v.int32()));
      return Variant(-v.int32());
    case VariantType::kDouble:
      return Variant(-v.dbl());
    case VariantType::kDate:
      return Variant(0.0 - v.date().serial());  // day 0 gives 0, not -0
    case VariantType::kText:
      return Variant(-v.ToDouble());
    case VariantType::kObject:
      break;
  }
  throw Error("cannot negate " + Describe(v));
}

std::string Describe(const Variant& v) {
  switch (v.type()) {
    case VariantType::kEmpty:
      return "empty value";
    case VariantType::kNull:
      return "null";
    case VariantType::kInt16:
      return "16-bit integer " + v.ToText();
    case VariantType::kInt32:
      return "32-bit integer " + v.ToText();
    case VariantType::kDouble:
      return std::isfinite(v.dbl()) ? "number " + v.ToText() : "number " + std::to_string(v.dbl());
    case VariantType::kDate:
      return "date " + v.ToText();
    case VariantType::kText:
      return "text '" + v.text() + "'";
    case VariantType::kObject:
      return "object";
  }
  return "value";
}

}  // namespace rnt
