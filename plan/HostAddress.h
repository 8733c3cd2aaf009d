#pragma once
// The workstation's IPv4 address, the tag of this workstation's rows in
// PLAN_TABLE. Found through the system resolver; the fallback text
// "999.999.999.999" stands for every failure.

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace basGetIP {

using IPv4 = std::array<std::uint8_t, 4>;  // network byte order: 10.0.0.5 is {10, 0, 0, 5}

inline const QString kNoAddress = QStringLiteral("999.999.999.999");

// Where the addresses come from. Each member may fail by returning nothing
// (or by throwing); the system resolver is the default.
struct Resolver {
    // The local host name.
    std::function<std::optional<std::string>()> hostName;
    // The IPv4 addresses the name resolves to, in the resolver's order;
    // nothing when the lookup fails.
    std::function<std::optional<std::vector<IPv4>>(const std::string& name)> lookup;
    // The IPv4 addresses of the host's network interfaces, in their order.
    std::function<std::vector<IPv4>()> interfaces;
};

Resolver systemResolver();

// The resolver behind getMyIPAddress(); an empty resolver restores the
// system's (for tests).
void setResolver(std::optional<Resolver> resolver);

QString dotted(const IPv4& a);
bool isLoopback(const IPv4& a);

// The last non-loopback address that the host name resolves to; when the
// name gives none, the last non-loopback interface address; else the
// fallback text. Never throws.
QString addressFrom(const Resolver& resolver);
QString getMyIPAddress();

}  // namespace basGetIP
