#include "db/server_address.h"

#include <charconv>

#include "rnt/error.h"

namespace rnt::db {

ServerAddress ParseServerAddress(const std::string& data_source) {
  size_t separator = data_source.find(',');
  // A colon separates the port only once: more of them make an IPv6 address.
  if (separator == std::string::npos && data_source.find(':') == data_source.rfind(':')) {
    separator = data_source.find(':');
  }
  if (separator == std::string::npos) return {data_source};
  ServerAddress server{data_source.substr(0, separator)};
  const std::string port = data_source.substr(separator + 1);
  auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), server.port);
  if (server.host.empty() || error != std::errc() || end != port.data() + port.size() ||
      server.port < 1 || server.port > 65535) {
    throw Error("data source '" + data_source + "' is not a server and port");
  }
  return server;
}

}  // namespace rnt::db
