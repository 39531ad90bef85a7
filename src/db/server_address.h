#pragma once

#include <string>

namespace rnt::db {

// The port of the database server when "Data Source" names none.
inline constexpr int kDefaultServerPort = 5432;

// A server as the "Data Source" of a connection text names it.
struct ServerAddress {
  std::string host;
  int port = kDefaultServerPort;
};

// Reads "host", "host:port" or "host,port"; more than one colon makes an IPv6
// address without a port. Throws rnt::Error naming the data source when the
// host is empty or the port is not a whole number from 1 to 65535.
ServerAddress ParseServerAddress(const std::string& data_source);

}  // namespace rnt::db
