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
  command
      .add_option("--rent-date", options.rent_date,
                  "DD-MM-YYYY: rent is charged up to the day before it")
      ->required();
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
  command.add_option("--format", options.format, "table, csv, json or html (default: table)")
      ->check(CLI::IsMember({"table", "csv", "json", "html"}));
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
      "  rnt0417 run --company ./acme --party \"Sharma Builders\" --rent-date 05-04-2021\n"
      "      (./acme holds the company's year files; the year and the one before are found)\n"
      "  rnt0417 run --company acme-2021.db --previous-year acme-2020.db \\\n"
      "      --party \"Sharma Builders\" --rent-date 05-04-2021 --format json\n"
      "  rnt0417 run --server 0001 --year-start 01-04-2021 --party \"Sharma Builders\" \\\n"
      "      --rent-date 05-04-2021\n"
      "Exit status: 0 done, 1 the run could not be made, 2 wrong command line,\n"
      "3 the rent date was refused (the party is billed up to it already).");
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
  post->add_option("--party", options.party, "The party, by its name in Master1")->required();
  post->add_option("--output", options.output, "Write the posted statement to this file");
  post->footer(
      "Example:\n"
      "  rnt0417 post --company ./acme --party \"Sharma Builders\" --rent-date 01-05-2021\n"
      "Makes the party's rent run for the rent date and records its lines as a rent voucher\n"
      "dated on the day before (the last day billed); the next run goes on from the rent date.\n"
      "Exit status 3: refused, nothing posted (billed up to that date already, balances\n"
      "below nothing, no rent lines, or the year before missing without --first-year).");
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
      "settings", "Show the company's settings (bs1, bs2, the day rule), or set its day rule");
  AddCompanyOptions(*settings, options);
  settings->add_option("--day-rule", options.day_rule,
                       "How days are charged: 'both days' (the day of delivery and the day of "
                       "return both charged; the default), 'end of day' (each day charged for "
                       "the pieces held at its end) or 'as before' (to reproduce earlier bills)");
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
                                              : Command::kRun;
  return std::nullopt;
}

}  // namespace rnt::cli
