#include "cli/command_line.h"

#include <CLI/CLI.hpp>

namespace rnt::cli {
namespace {

// Where the company is: its year files or its catalogues on the server.
void AddCompanyOptions(CLI::App& command, CompanyOptions& options) {
  command.add_option("--company", options.company,
                     "The folder of the company's year files, or the current year's file");
  command.add_option("--previous-year", options.previous_year,
                     "The previous financial year's file (default: the file of the company's "
                     "folder whose year starts one year earlier)");
  command.add_option("--server", options.server,
                     "The company's code on the database server (instead of --company)");
  command.add_option("--year-start", options.year_start,
                     "DD-MM-YYYY: the first day of the open financial year, with --server");
  command.add_option("--server-txt", options.server_txt,
                     "The Server.Txt with the server's login (default: ./Server.Txt, else the "
                     "one next to rnt0417)");
}

// The options of the rent run that both `run` and `post` make.
void AddPartyRunOptions(CLI::App& command, RunOptions& options) {
  AddCompanyOptions(command, options);
  command.add_option("--month", options.month,
                     "MM-YYYY: bill the calendar month (rent is charged up to its last day)");
  command.add_option("--to", options.to, "DD-MM-YYYY: the last day billed");
  command.add_option("--rent-date", options.rent_date,
                     "DD-MM-YYYY: rent is charged up to the day before it");
  command.add_option("--search-date", options.search_date,
                     "DD-MM-YYYY: the previous rent voucher is looked for on or before it "
                     "(default: the rent date)");
  command.add_option("--user", options.user, "The user the lines are written for (default: login)");
  command
      .add_option("--settle-ms", options.settle_ms,
                  "The pause inside the run before the last reconnection (default: 0)")
      ->check(CLI::Range(0, 600000));
  command.add_flag("--first-year", options.first_year,
                   "The company has no year before the current one: bill without it, and "
                   "without the warning that its material is not billed");
  command.add_flag("--report", options.show_report,
                   "Also list the steps of the run that failed and were skipped");
  command
      .add_option("--format", options.format, "table, csv, json, html or sheet (default: table)")
      ->check(CLI::IsMember({"table", "csv", "json", "html", "sheet"}));
  command
      .add_option("--wait", options.wait_seconds,
                  "Seconds to wait for another command of the same user on the company to end "
                  "(default: 60)")
      ->check(CLI::Range(0, 3600));
}

void AddRun(CLI::App& app, RunOptions& options) {
  CLI::App* run = app.add_subcommand("run", "Calculate the rent of one party up to a rent date");
  AddPartyRunOptions(*run, options);
  run->add_option("--party", options.party, "The party, by its name in Master1");
  run->add_flag("--all-parties", options.all_parties,
                "Bill every party with movements up to the day before the rent date");
  run->add_option("--output", options.output, "Write the statement to this file (one party)");
  run->add_option("--output-dir", options.output_dir,
                  "With --all-parties: write one statement file per party into this folder");
  run->footer(
      "Example:\n"
      "  rnt0417 run --company ./acme --party \"Sharma Builders\" --month 04-2021\n"
      "      (./acme holds the company's year files; the year and the one before are found)\n"
      "  rnt0417 run --company ./acme --all-parties --to 30-04-2021   (the last day billed)\n"
      "  rnt0417 run --company acme-2021.db --previous-year acme-2020.db \\\n"
      "      --party \"Sharma Builders\" --rent-date 05-04-2021 --format json\n"
      "  rnt0417 run --server 0001 --year-start 01-04-2021 --party \"Sharma Builders\" \\\n"
      "      --rent-date 05-04-2021\n"
      "Exit status: 0 done, 1 the run could not be made, 2 wrong command line,\n"
      "3 the rent date was refused (the party is billed up to it already);\n"
      "with --all-parties the worst that happened to any party.");
}

CLI::App* AddCopyCompany(CLI::App& app, CopyOptions& options) {
  CLI::App* copy = app.add_subcommand(
      "copy-company", "Copy a company's files into catalogues on the database server");
  copy->add_option("--company", options.company, "The current financial year's company file")
      ->required();
  copy->add_option("--previous-year", options.previous_year,
                   "The previous financial year's company file");
  copy->add_option("--server", options.server, "The company's code on the server")->required();
  copy->add_option("--server-txt", options.server_txt,
                   "The Server.Txt with the server's login (default: ./Server.Txt)");
  copy->footer(
      "Example:\n"
      "  rnt0417 copy-company --company acme-2021.db --previous-year acme-2020.db --server 0001\n"
      "Makes catalogues 0001_db12021 and 0001_db12020; a catalogue that holds data is refused.");
  return copy;
}

CLI::App* AddPost(CLI::App& app, RunOptions& options) {
  CLI::App* post = app.add_subcommand(
      "post", "Bill a party up to a rent date and record the run as its rent voucher");
  AddPartyRunOptions(*post, options);
  post->add_option("--party", options.party, "The party, by its name in Master1");
  post->add_flag("--all-parties", options.all_parties,
                 "Post every party with movements up to the last day billed, each on its own");
  post->add_option("--output", options.output, "Write the posted statement to this file");
  post->add_option("--output-dir", options.output_dir,
                   "With --all-parties: write one posted statement file per party into this "
                   "folder");
  post->footer(
      "Example:\n"
      "  rnt0417 post --company ./acme --party \"Sharma Builders\" --month 04-2021\n"
      "  rnt0417 post --company ./acme --all-parties --month 04-2021 --output-dir ./april\n"
      "Makes the party's rent run for the days asked and records its lines as a rent voucher\n"
      "dated on the last day billed; the next run goes on from the day after.\n"
      "Exit status 3: refused, nothing posted (billed up to that date already, balances\n"
      "below nothing, no rent lines, or the year before missing without --first-year); with\n"
      "--all-parties, the worst of any party's.");
  return post;
}

CLI::App* AddParties(CLI::App& app, CompanyOptions& options) {
  CLI::App* parties =
      app.add_subcommand("parties", "List the company's parties and the date each is billed up to");
  AddCompanyOptions(*parties, options);
  parties->footer("Example:\n  rnt0417 parties --company ./acme");
  return parties;
}

CLI::App* AddSettings(CLI::App& app, SettingsOptions& options) {
  CLI::App* settings = app.add_subcommand(
      "settings",
      "Show the company's settings (bs1, bs2, the day rule, the amount grouping), or set them");
  AddCompanyOptions(*settings, options);
  settings->add_option("--day-rule", options.day_rule,
                       "How days are charged: 'both days' (the day of delivery and the day of "
                       "return both charged; the default), 'end of day' (each day charged for "
                       "the pieces held at its end) or 'as before' (to reproduce earlier bills)");
  settings->add_option("--amount-grouping", options.amount_grouping,
                       "How statements group an amount's digits: 'international' (1,234,567.50; "
                       "the default) or 'indian' (12,34,567.50)");
  settings->footer(
      "Example:\n"
      "  rnt0417 settings --company ./acme --day-rule 'end of day'\n"
      "Sets the rule in every year of the company found (in a folder, every year file), so\n"
      "that a bill counts its days the same whichever year holds it.");
  return settings;
}

CLI::App* AddDemo(CLI::App& app, DemoOptions& options) {
  CLI::App* demo = app.add_subcommand(
      "demo", "Make a demo company and print two parties' rent statements from it");
  demo->add_option("--dir", options.dir,
                   "Where to write the demo company (default: a new temporary folder)");
  demo->footer("Example:\n  rnt0417 demo --dir ./demo");
  return demo;
}

CLI::App* AddBills(CLI::App& app, BillsOptions& options) {
  CLI::App* bills = app.add_subcommand(
      "bills", "List the posted rent vouchers: party, period, amount and when posted");
  AddCompanyOptions(*bills, options);
  bills->add_option("--party", options.party, "Only this party's, by its name in Master1");
  bills->add_option("--month", options.month,
                    "MM-YYYY: only the bills whose period ends in this month");
  bills->add_option("--format", options.format, "table, csv or json (default: table)")
      ->check(CLI::IsMember({"table", "csv", "json"}));
  bills->footer(
      "Example:\n"
      "  rnt0417 bills --company ./acme --party \"Sharma Builders\" --month 04-2021");
  return bills;
}

CLI::App* AddReprint(CLI::App& app, ReprintOptions& options) {
  CLI::App* reprint = app.add_subcommand(
      "reprint", "Print a posted bill again exactly as it was posted, from its rent voucher");
  AddCompanyOptions(*reprint, options);
  reprint->add_option("--voucher", options.voucher, "The rent voucher's number")->required();
  reprint->add_option("--format", options.format, "table, csv, json or html (default: table)")
      ->check(CLI::IsMember({"table", "csv", "json", "html"}));
  reprint->add_option("--output", options.output, "Write the bill to this file");
  reprint->footer(
      "Example:\n"
      "  rnt0417 reprint --company ./acme --voucher 7002 --format html --output 7002.html\n"
      "Exit status 2: no voucher has the number; 3: it is no rent voucher, or was posted\n"
      "before bills were kept with their vouchers.");
  return reprint;
}

CLI::App* AddUnpost(CLI::App& app, UnpostOptions& options) {
  CLI::App* unpost = app.add_subcommand(
      "unpost", "Cancel a party's latest rent voucher and the bill kept with it");
  AddCompanyOptions(*unpost, options);
  unpost->add_option("--voucher", options.voucher, "The rent voucher's number")->required();
  unpost->footer(
      "Example:\n"
      "  rnt0417 unpost --company ./acme --voucher 7003\n"
      "Asks nothing: the party's next bill goes on from its voucher before (or from its\n"
      "whole history). Exit status 3, nothing changed: not the party's latest rent voucher,\n"
      "or no rent voucher; 2: no voucher has the number.");
  return unpost;
}

CLI::App* AddAtSite(CLI::App& app, AtSiteOptions& options) {
  CLI::App* at_site = app.add_subcommand(
      "at-site", "List the material still with each party at the end of a day, by challan");
  AddCompanyOptions(*at_site, options);
  at_site->add_option("--date", options.date,
                      "DD-MM-YYYY: the day (default: the last day of the latest year)");
  at_site->add_option("--party", options.party, "Only this party, by its name in Master1");
  at_site->add_option("--format", options.format, "table, csv, json or html (default: table)")
      ->check(CLI::IsMember({"table", "csv", "json", "html"}));
  at_site->footer(
      "Example:\n"
      "  rnt0417 at-site --company ./acme --date 31-07-2024\n"
      "Each party's items with the quantity its bill counts and the challans they went out\n"
      "on (latest first), then the total of each item at all sites.");
  return at_site;
}

}  // namespace

std::optional<int> ParseCommandLine(int argc, const char* const* argv, CommandLine& command_line,
                                    std::ostream& out, std::ostream& err) {
  CLI::App app{
      "rnt0417: computes the rent a party owes for hired material and writes the rent lines\n"
      "into the company's work table atShut, as the accounting host does.",
      "rnt0417"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "rnt0417 " RNT_VERSION);
  app.footer(
      "Example:\n"
      "  rnt0417 run --company acme-2021.db --party \"Sharma Builders\" --rent-date 05-04-2021");
  AddRun(app, command_line.run);
  CLI::App* copy = AddCopyCompany(app, command_line.copy);
  CLI::App* post = AddPost(app, command_line.post);
  CLI::App* parties = AddParties(app, command_line.parties);
  CLI::App* demo = AddDemo(app, command_line.demo);
  CLI::App* settings = AddSettings(app, command_line.settings);
  CLI::App* bills = AddBills(app, command_line.bills);
  CLI::App* reprint = AddReprint(app, command_line.reprint);
  CLI::App* unpost = AddUnpost(app, command_line.unpost);
  CLI::App* at_site = AddAtSite(app, command_line.at_site);

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& help_or_version) {
    return app.exit(help_or_version, out, err);
  } catch (const CLI::ParseError& error) {
    err << "rnt0417: " << error.what() << " (see rnt0417 --help)\n";
    return kBadCommandLine;
  }
  command_line.command = post->parsed()       ? Command::kPost
                         : parties->parsed()  ? Command::kParties
                         : demo->parsed()     ? Command::kDemo
                         : copy->parsed()     ? Command::kCopyCompany
                         : settings->parsed() ? Command::kSettings
                         : bills->parsed()    ? Command::kBills
                         : reprint->parsed()  ? Command::kReprint
                         : unpost->parsed()   ? Command::kUnpost
                         : at_site->parsed()  ? Command::kAtSite
                                              : Command::kRun;
  return std::nullopt;
}

}  // namespace rnt::cli
