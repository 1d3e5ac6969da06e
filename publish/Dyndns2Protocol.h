// The dyndns2 update protocol, apart from any HTTP client: the request's query, the client's
// name, and what each of the server's answers means.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "publish/Target.h"

namespace orvane::publish {

// A provider asks for this much quiet after "911" or "dnserr".
inline constexpr std::chrono::minutes kDyndns2Pause{30};

inline constexpr std::string_view kDyndns2Path = "/nic/update";

// "hostname=H1,H2&myip=A" and "&myipv6=B" when the link has one and it is not turned off.
std::string Dyndns2Query(const Dyndns2Settings& settings, const PublishedAddresses& addresses);

// The User-Agent: the program's name and version.
std::string Dyndns2UserAgent();

// "Basic " and the base64 of "user:password", for a client that does not make it itself.
std::string Dyndns2Authorization(const std::string& user, const std::string& password);

// Whether `name` may go into the query as it is: letters, digits, '-', '_', '.' and '*'.
bool IsDyndns2HostName(std::string_view name);

// The verdict on an answer: one line per host name, each starting with its code.
Outcome Dyndns2Verdict(long httpStatus, std::string_view body);

}  // namespace orvane::publish
