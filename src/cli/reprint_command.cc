#include <fstream>

#include "cli/bills_command.h"
#include "cli/company_years.h"
#include "cli/exit_status.h"
#include "cli/kept_statement.h"
#include "db/recordset.h"
#include "refhost/kept_bills.h"

namespace rnt::cli {
namespace {

constexpr std::int32_t kRentVoucherType = 9;

// The bill kept with the rent voucher; exit 2 for a number that is no
// voucher of the year, 3 for another voucher or a bill that was not kept.
std::optional<refhost::KeptBill> KeptBillOfVoucher(const refhost::CompanyData& company,
                                                   std::int32_t voucher, std::ostream& err) {
  db::Connection& year = company.current()->Connection();
  const std::string number = std::to_string(voucher);
  {
    db::Recordset rows;
    rows.Open("select VchType from Tran1 where VchCode=" + number, year);
    if (rows.Eof()) {
      throw CommandLineError("--voucher: no voucher has the number " + number + " in " +
                             company.current()->name());
    }
    const Variant type = rows.Field("VchType");
    if (!type.IsNumber() || type.ToInt32() != kRentVoucherType || voucher <= 0) {
      err << "rnt0417: not printed: voucher " << number << " is not a rent voucher\n";
      return std::nullopt;
    }
  }
  std::optional<refhost::KeptBill> bill = refhost::ReadKeptBill(year, voucher);
  if (!bill) {
    err << "rnt0417: not printed: rent voucher " << number
        << " was posted before bills were kept with their vouchers; nothing of its bill is kept\n";
  }
  return bill;
}

}  // namespace

int ReprintBill(const ReprintOptions& options, std::ostream& out, std::ostream& err) {
  return ExitStatusOf(err, "the bill could not be printed", [&] {
    const std::optional<Date> year_start = CheckCompanyValues(options);
    const StatementFormat format = ParseStatementFormat(options.format);
    const refhost::CompanyData company = FindCompanyYears(options, year_start, std::nullopt, err);
    std::optional<refhost::KeptBill> bill;
    try {
      bill = KeptBillOfVoucher(company, options.voucher, err);
    } catch (const CommandLineError&) {
      throw;
    } catch (const Error& error) {
      throw RunError(error.what());
    }
    if (!bill) return kRentDateRefused;
    const Statement statement = PostedStatement(*bill);

    std::ofstream written;
    if (options.output) {
      written.open(*options.output);
      if (!written) throw RunError("cannot write " + options.output->string());
    }
    std::ostream& to = options.output ? written : out;
    if (IsStreamed(format)) {
      StreamedStatement streamed(format, to, statement.item_names);
      for (const refhost::RentLine& line : statement.lines)
        streamed.Add(line, statement.header.party);
      streamed.Finish();
    } else {
      PrintStatement(statement, format, to);
    }
    return kRunFinished;
  });
}

}  // namespace rnt::cli
