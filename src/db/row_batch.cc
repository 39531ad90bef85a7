#include "db/row_batch.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "rnt/error.h"

namespace rnt::db {
namespace {

// How a value is kept: after its column's number (counted from 1; a 0 ends
// the row) comes its kind, then its bytes.
// A double that holds a whole number (most of a rent line's: its serial, item,
// days and quantities) is kept as that number in as few bytes as it needs.
enum Kind : char { kInt16, kInt32, kDouble, kWholeDouble, kDate, kText };

bool IsSmallWholeNumber(double number) {
  return number == std::trunc(number) && std::abs(number) < 2147483648.0 &&
         !(number == 0 && std::signbit(number));
}

// A whole number as a count: 0, -1, 1, -2, ... as 0, 1, 2, 3, ...
size_t Folded(int64_t number) {
  return number < 0 ? static_cast<size_t>(-(number + 1)) * 2 + 1 : static_cast<size_t>(number) * 2;
}
int64_t Unfolded(size_t count) {
  return count % 2 ? -static_cast<int64_t>(count / 2) - 1 : static_cast<int64_t>(count / 2);
}

// Whole numbers in seven bits a byte, the low bits first: column numbers and
// text lengths are small, so most take one byte.
void PutCount(std::string& data, size_t count) {
  while (count >= 0x80) {
    data += static_cast<char>(0x80 | (count & 0x7f));
    count >>= 7;
  }
  data += static_cast<char>(count);
}

size_t TakeCount(const char*& at) {
  size_t count = 0;
  for (int shift = 0;; shift += 7) {
    const auto byte = static_cast<unsigned char>(*at++);
    count |= static_cast<size_t>(byte & 0x7f) << shift;
    if (byte < 0x80) return count;
  }
}

template <typename Number>
void PutNumber(std::string& data, Number number) {
  char bytes[sizeof number];
  std::memcpy(bytes, &number, sizeof number);
  data.append(bytes, sizeof number);
}

template <typename Number>
Number TakeNumber(const char*& at) {
  Number number;
  std::memcpy(&number, at, sizeof number);
  at += sizeof number;
  return number;
}

}  // namespace

void RowBatch::Add(const std::vector<Variant>& row) {
  if (rows_ == 0) width_ = row.size();
  if (row.size() != width_) {
    throw Error("a row of " + std::to_string(row.size()) +
                " values cannot join a batch of rows of " + std::to_string(width_));
  }
  const size_t start = data_.size();
  try {
    for (size_t column = 0; column < row.size(); ++column) {
      const Variant& value = row[column];
      if (value.IsNull() || value.IsEmpty()) continue;
      PutCount(data_, column + 1);
      switch (value.type()) {
        case VariantType::kInt16:
          data_ += kInt16;
          PutNumber(data_, value.int16());
          break;
        case VariantType::kInt32:
          data_ += kInt32;
          PutNumber(data_, value.int32());
          break;
        case VariantType::kDouble:
          if (IsSmallWholeNumber(value.dbl())) {
            data_ += kWholeDouble;
            PutCount(data_, Folded(static_cast<int64_t>(value.dbl())));
          } else {
            data_ += kDouble;
            PutNumber(data_, value.dbl());
          }
          break;
        case VariantType::kDate:
          data_ += kDate;
          PutNumber(data_, value.date().serial());
          break;
        case VariantType::kText:
          data_ += kText;
          PutCount(data_, value.text().size());
          data_ += value.text();
          break;
        default:
          throw Error("value " + std::to_string(column + 1) +
                      " of a row cannot be kept: " + Describe(value));
      }
    }
  } catch (...) {
    data_.resize(start);
    throw;
  }
  PutCount(data_, 0);
  ++rows_;
}

void RowBatch::ForEach(const std::function<void(const std::vector<Variant>& row)>& each) const {
  std::vector<Variant> row(width_);
  const char* at = data_.data();
  for (size_t done = 0; done < rows_; ++done) {
    for (Variant& value : row) value = Variant::Null();
    for (size_t number; (number = TakeCount(at)) != 0;) {
      const size_t column = number - 1;
      switch (*at++) {
        case kInt16:
          row[column] = Variant(TakeNumber<int16_t>(at));
          break;
        case kInt32:
          row[column] = Variant(TakeNumber<int32_t>(at));
          break;
        case kDouble:
          row[column] = Variant(TakeNumber<double>(at));
          break;
        case kWholeDouble:
          row[column] = Variant(static_cast<double>(Unfolded(TakeCount(at))));
          break;
        case kDate:
          row[column] = Variant(Date::FromSerial(TakeNumber<int32_t>(at)));
          break;
        default: {
          const size_t length = TakeCount(at);
          row[column] = Variant(std::string(at, length));
          at += length;
        }
      }
    }
    each(row);
  }
}

void RowBatch::Clear() {
  std::string().swap(data_);
  rows_ = 0;
  width_ = 0;
}

}  // namespace rnt::db
