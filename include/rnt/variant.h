#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "rnt/date.h"

namespace rnt {

// Base of every object that a Variant can refer to: the host object, the
// company file object of the p_Data collection, recordsets handed out by the host.
class Object {
 public:
  virtual ~Object() = default;
};

enum class VariantType { kEmpty, kNull, kInt16, kInt32, kDouble, kDate, kText, kObject };

// A value as the host and the engine pass it around: empty, null, a 16-bit or
// 32-bit integer, a double, a date, text or an object reference. Conversions
// follow the platform's rules, fixed to one locale (day-first dates, point as
// decimal separator, comma digit grouping); a conversion that is not possible
// throws rnt::Error.
class Variant {
 public:
  Variant() = default;  // empty
  Variant(int16_t v) : value_(v) {}
  Variant(int32_t v) : value_(v) {}
  Variant(double v) : value_(v) {}
  Variant(Date v) : value_(v) {}
  Variant(std::string v) : value_(std::move(v)) {}
  Variant(std::string_view v) : value_(std::string(v)) {}
  Variant(const char* v) : value_(std::string(v)) {}
  Variant(std::shared_ptr<Object> v) : value_(std::move(v)) {}
  static Variant Null();

  VariantType type() const { return static_cast<VariantType>(value_.index()); }
  bool IsEmpty() const { return type() == VariantType::kEmpty; }
  bool IsNull() const { return type() == VariantType::kNull; }
  bool IsNumber() const;  // 16-bit, 32-bit integer or double

  // The platform's text of the value: empty gives "", numbers their shortest
  // text of up to 15 significant digits, a date its short-date text
  // "dd-mm-yyyy". A null or an object cannot be turned into text.
  std::string ToText() const;

  // The value as a number: numbers as they are, empty as 0, a date as its
  // serial, text that reads as a number by ParseNumberText ("1,234.50" gives
  // 1234.5). Null, objects and other text fail.
  double ToDouble() const;
  // As ToDouble, rounded half to even; fails outside the type's range.
  int32_t ToInt32() const;
  int16_t ToInt16() const;
  // A date as it is, text that reads as a date, a number as a date serial
  // (whole days; a fraction is a time of day), empty as serial 0.
  Date ToDate() const;
  // The object referred to; fails for every other kind of value.
  std::shared_ptr<Object> ToObject() const;

  // Exact accessors for tests and for code that has checked type() first.
  int16_t int16() const { return std::get<int16_t>(value_); }
  int32_t int32() const { return std::get<int32_t>(value_); }
  double dbl() const { return std::get<double>(value_); }
  Date date() const { return std::get<Date>(value_); }
  const std::string& text() const { return std::get<std::string>(value_); }

  // Same kind and same value (objects: the same object).
  friend bool operator==(const Variant& a, const Variant& b) { return a.value_ == b.value_; }

 private:
  struct EmptyValue {
    bool operator==(const EmptyValue&) const = default;
  };
  struct NullValue {
    bool operator==(const NullValue&) const = default;
  };
  using Storage = std::variant<EmptyValue, NullValue, int16_t, int32_t, double, Date, std::string,
                               std::shared_ptr<Object>>;
  Storage value_;
};

// Variant arithmetic of `v * -1`: an integer stays an integer (a 16-bit one
// widens to 32 bits, a 32-bit one to a double, when the negation does not
// fit), a double stays a double, numeric text and dates become a double, empty
// gives the 16-bit integer 0 and null stays null. Other text fails.
Variant Negate(const Variant& v);

// A short description of the value for error messages: its kind and text.
std::string Describe(const Variant& v);

}  // namespace rnt
