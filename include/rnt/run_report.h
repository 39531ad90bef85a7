#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace rnt {

// One step of a run that failed and was skipped.
struct SkippedStep {
  std::string step;     // which step, in the run's words
  std::string failure;  // what failed, on which value
  // The failure kept the run from its company database (nothing could be
  // read from it or written to it), or from what the run must read to be
  // made (the parameters file, the settings in at_ILC): the run's result
  // cannot be trusted, and the run counts as not made.
  bool kept_from_database = false;
};

// What the host can learn about the last Start: the steps that failed and
// were skipped, what the run did, and the refusal of a rent date.
struct RunReport {
  std::vector<SkippedStep> skipped;
  std::vector<std::string> notes;
  std::optional<std::string> refusal;  // the message shown when the rent date was refused
  // The rent lines that the run made and did not save, because it failed:
  // a run's lines are saved together when it ends, or none of them.
  size_t lines_dropped = 0;
  // The settings name a day rule that the engine does not know: the run
  // stopped before it made a line.
  bool day_rule_refused = false;
  // The statements that the add-on's own connection had the company
  // database run during Start.
  size_t statements_sent = 0;
  // Failures past the first kMaxSkipped are counted, not kept: a run over
  // years of history that fails on every line needs the first reasons only.
  static constexpr size_t kMaxSkipped = 200;
  size_t more_skipped = 0;

  // Keeps the failure, or counts it once the report is full; the first one
  // that kept the run from its database is always kept.
  void Skip(SkippedStep step) {
    if (skipped.size() < kMaxSkipped ||
        (step.kept_from_database && FirstDatabaseFailure() == nullptr)) {
      skipped.push_back(std::move(step));
    } else {
      ++more_skipped;
    }
  }

  // The first failure that kept the run from its database, or nullptr.
  const SkippedStep* FirstDatabaseFailure() const {
    for (const SkippedStep& step : skipped) {
      if (step.kept_from_database) return &step;
    }
    return nullptr;
  }
};

}  // namespace rnt
