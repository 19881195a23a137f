// The one parser of port names and network entries, on any text: it never crashes, what it
// takes is written back as the same endpoint, a host is a name with a letter, a canonical
// dotted IPv4 address or an IPv6 address, and a refusal always says why.

#include "remote/endpoint.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <arpa/inet.h>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

[[nodiscard]] bool canonicalIpv4(const std::string& host) {
    in_addr address{};
    if (::inet_pton(AF_INET, host.c_str(), &address) != 1)
        return false;
    char back[INET_ADDRSTRLEN] = {};
    return ::inet_ntop(AF_INET, &address, back, sizeof back) != nullptr && host == back;
}

[[nodiscard]] bool hasLetter(const std::string& host) {
    for (const char c : host)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto parsed = quillmark::remote::parseEndpointText(text);
    check(parsed.endpoint.has_value() == parsed.problem.empty());
    if (const auto& e = parsed.endpoint) {
        check(e->port > 0);
        check(quillmark::remote::parseEndpoint(e->text()) == e);
        const bool v6 = e->host.find(':') != std::string::npos;
        check(v6 || canonicalIpv4(e->host) || hasLetter(e->host));
        check(!v6 || e->numeric());
        in_addr legacy{};
        // A name is never one the resolver would read as an address.
        check(v6 || canonicalIpv4(e->host) || ::inet_aton(e->host.c_str(), &legacy) == 0);
    }
    if (const auto n = quillmark::remote::comNumber(text)) {
        check(*n >= 1 && *n <= 255);
        check(text == "COM" + std::to_string(*n));
    }
    return 0;
}
