#include "HostAddress.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace basGetIP {
namespace {

std::optional<Resolver>& installed() {
    static std::optional<Resolver> resolver;
    return resolver;
}

IPv4 fromInAddr(const in_addr& in) {
    IPv4 a{};
    std::memcpy(a.data(), &in.s_addr, 4);  // s_addr is in network byte order
    return a;
}

std::optional<std::string> systemHostName() {
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0)
        return std::nullopt;
    return std::string(buffer);  // up to the first zero byte
}

std::optional<std::vector<IPv4>> systemLookup(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;  // one entry per address, not one per socket type
    addrinfo* list = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &list) != 0 || !list)
        return std::nullopt;
    std::vector<IPv4> addresses;
    for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET && ai->ai_addr)
            addresses.push_back(
                fromInAddr(reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr));
    }
    freeaddrinfo(list);
    return addresses;
}

std::vector<IPv4> systemInterfaces() {
    std::vector<IPv4> addresses;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return addresses;
    for (const ifaddrs* ifa = list; ifa; ifa = ifa->ifa_next) {
        if (ifa->ifa_addr && ifa->ifa_addr->sa_family == AF_INET)
            addresses.push_back(
                fromInAddr(reinterpret_cast<const sockaddr_in*>(ifa->ifa_addr)->sin_addr));
    }
    freeifaddrs(list);
    return addresses;
}

std::optional<IPv4> lastNonLoopback(const std::vector<IPv4>& addresses) {
    for (auto it = addresses.rbegin(); it != addresses.rend(); ++it) {
        if (!isLoopback(*it))
            return *it;
    }
    return std::nullopt;
}

}  // namespace

Resolver systemResolver() {
    return Resolver{systemHostName, systemLookup, systemInterfaces};
}

void setResolver(std::optional<Resolver> resolver) {
    installed() = std::move(resolver);
}

QString dotted(const IPv4& a) {
    return QStringLiteral("%1.%2.%3.%4").arg(a[0]).arg(a[1]).arg(a[2]).arg(a[3]);
}

bool isLoopback(const IPv4& a) {
    return a[0] == 127;
}

QString addressFrom(const Resolver& resolver) {
    // Loopback addresses are left out: a Linux host name commonly resolves
    // to 127.0.1.1, which every workstation shares, so two workstations
    // would tag (and delete) each other's plan rows. When the name gives
    // nothing else - no name, no address, or a failure on the way - the
    // interface addresses stand in for it.
    std::optional<IPv4> address;
    try {
        if (resolver.hostName && resolver.lookup) {
            if (const auto name = resolver.hostName()) {
                if (const auto found = resolver.lookup(*name))
                    address = lastNonLoopback(*found);
            }
        }
    } catch (...) {
        address.reset();
    }
    try {
        if (!address && resolver.interfaces)
            address = lastNonLoopback(resolver.interfaces());
    } catch (...) {
        address.reset();
    }
    return address ? dotted(*address) : kNoAddress;
}

QString getMyIPAddress() {
    return addressFrom(installed() ? *installed() : systemResolver());
}

}  // namespace basGetIP
