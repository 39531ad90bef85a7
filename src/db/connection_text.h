#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace rnt::db {

// The providers that a connection text may name.
enum class Provider {
  kJet,        // Microsoft.Jet.OLEDB.*: a company file, served by SQLite
  kSqlServer,  // SQLOLEDB*: a catalogue on the database server, served by PostgreSQL
};

// A connection text taken apart into its "key=value" settings. Keys are
// matched without regard to letter case and surrounding blanks; values keep
// their text less surrounding blanks.
class ConnectionText {
 public:
  // Throws rnt::Error when the text names no provider or an unknown one.
  static ConnectionText Parse(std::string_view text);

  Provider provider() const { return provider_; }
  // The value of a setting, or nullopt when the text does not have it.
  std::optional<std::string> Get(std::string_view key) const;
  // The value of a setting that must be there and not be blank; throws
  // rnt::Error naming the setting otherwise.
  std::string Require(std::string_view key) const;

 private:
  Provider provider_ = Provider::kJet;
  std::map<std::string, std::string> settings_;  // keys in lower case
};

}  // namespace rnt::db
