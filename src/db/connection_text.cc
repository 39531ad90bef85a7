#include "db/connection_text.h"

#include "core/text_util.h"
#include "rnt/error.h"

namespace rnt::db {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

ConnectionText ConnectionText::Parse(std::string_view text) {
  ConnectionText result;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view part = text.substr(start, end - start);
    size_t equals = part.find('=');
    if (equals != std::string_view::npos) {
      std::string key = ToLower(TrimBlanks(part.substr(0, equals)));
      if (!key.empty()) result.settings_[key] = std::string(TrimBlanks(part.substr(equals + 1)));
    }
    start = end + 1;
  }
  std::string provider = ToLower(result.Get("provider").value_or(""));
  if (provider.empty()) {
    throw Error("connection text names no provider: '" + std::string(text) + "'");
  }
  if (StartsWith(provider, "microsoft.jet.oledb")) {
    result.provider_ = Provider::kJet;
  } else if (StartsWith(provider, "sqloledb")) {
    result.provider_ = Provider::kSqlServer;
  } else {
    throw Error("unknown provider in connection text: '" + *result.Get("provider") + "'");
  }
  return result;
}

std::optional<std::string> ConnectionText::Get(std::string_view key) const {
  auto it = settings_.find(ToLower(key));
  if (it == settings_.end()) return std::nullopt;
  return it->second;
}

std::string ConnectionText::Require(std::string_view key) const {
  std::optional<std::string> value = Get(key);
  if (!value || value->empty()) {
    throw Error("connection text has no " + std::string(key));
  }
  return *value;
}

}  // namespace rnt::db
