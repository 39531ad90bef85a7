#pragma once

#include <memory>

#include "db/backend.h"
#include "db/connection.h"
#include "rnt/error.h"

namespace rnt::refhost {

// One transaction on the company database, rolled back unless committed, so
// that a voucher (or a setting) is written or removed whole or not at all. It
// takes the write lock at once; for vouchers on the server also the lock of
// Tran1, so that two clerks posting or cancelling at the same time cannot
// pick the same voucher code or both find a voucher the party's latest.
class CompanyTransaction {
 public:
  enum class Vouchers { kLocked, kFree };

  explicit CompanyTransaction(db::Connection& company, Vouchers vouchers = Vouchers::kLocked)
      : backend_(company.backend()) {
    const bool file = backend_->dialect() == db::Dialect::kSqlite;
    backend_->ExecuteNative(file ? "BEGIN IMMEDIATE" : "BEGIN");
    open_ = true;
    if (!file && vouchers == Vouchers::kLocked) {
      backend_->ExecuteNative("LOCK TABLE tran1 IN SHARE ROW EXCLUSIVE MODE");
    }
  }
  CompanyTransaction(const CompanyTransaction&) = delete;
  CompanyTransaction& operator=(const CompanyTransaction&) = delete;
  ~CompanyTransaction() {
    if (!open_) return;
    try {
      backend_->ExecuteNative("ROLLBACK");
    } catch (const Error&) {
      // A connection lost mid-way has dropped the transaction with it.
    }
  }

  void Commit() {
    backend_->ExecuteNative("COMMIT");
    open_ = false;
  }

 private:
  std::shared_ptr<db::Backend> backend_;
  bool open_ = false;
};

}  // namespace rnt::refhost
