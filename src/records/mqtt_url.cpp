// SPDX-License-Identifier: Apache-2.0
#include "records/mqtt_url.h"

#include <cctype>
#include <cstdint>

#include "platform/utf8.h"

namespace {

constexpr std::string_view kUsage = "expected mqtt://[user@]host[:port]/topic-prefix or mqtts://...";

std::optional<MqttTarget> Refuse(std::string& error, std::string why) {
    error = std::move(why) + " (" + std::string(kUsage) + ")";
    return std::nullopt;
}

// The text in double quotes, for a message.
std::string Quoted(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.append(1, '"').append(text).append(1, '"');
    return quoted;
}

bool Printable(std::string_view text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return false;
    }
    return true;
}

bool HostName(std::string_view host) {
    if (host.empty() || host.size() > 253) return false;
    for (const char c : host) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_') return false;
    }
    return true;
}

bool Ipv6Text(std::string_view host) {
    if (host.empty() || host.size() > 45) return false;
    for (const char c : host) {
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
    }
    return true;
}

}  // namespace

std::string MqttTarget::Text() const {
    std::string text = tls ? "mqtts://" : "mqtt://";
    if (!user.empty()) text += user + "@";
    text += host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return text + ":" + std::to_string(port) + "/" + prefix;
}

std::optional<MqttTarget> ParseMqttUrl(std::string_view url, std::string& error) {
    MqttTarget target;
    if (!Printable(url)) return Refuse(error, "the broker's URL holds control characters");
    if (url.starts_with("mqtts://")) {
        target.tls = true;
        target.port = 8883;
        url.remove_prefix(8);
    } else if (url.starts_with("mqtt://")) {
        url.remove_prefix(7);
    } else {
        return Refuse(error, Quoted(url) + " is not an mqtt:// or mqtts:// URL");
    }
    const size_t slash = url.find('/');
    if (slash == std::string_view::npos) return Refuse(error, "the broker's URL names no topic prefix");
    std::string_view authority = url.substr(0, slash);
    std::string_view prefix = url.substr(slash + 1);
    while (!prefix.empty() && prefix.back() == '/') prefix.remove_suffix(1);
    if (prefix.empty()) return Refuse(error, "the broker's URL names no topic prefix");
    if (prefix.find_first_of("+#") != std::string_view::npos || prefix.find("//") != std::string_view::npos)
        return Refuse(error, "the topic prefix \"" + std::string(prefix) + "\" holds a wildcard or an empty level");
    target.prefix = prefix;

    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
        target.user = authority.substr(0, at);
        if (target.user.empty()) return Refuse(error, "the user name before '@' is empty");
        if (target.user.find(':') != std::string::npos)
            return Refuse(error, "a password does not go in the URL: give it in VEXLOR_MQTT_PASSWORD");
        authority.remove_prefix(at + 1);
    }
    std::string_view portText;
    if (authority.starts_with("[")) {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos) return Refuse(error, "the IPv6 address lacks its ']'");
        target.host = authority.substr(1, close - 1);
        if (!Ipv6Text(target.host)) return Refuse(error, Quoted(target.host) + " is not an IPv6 address");
        std::string_view rest = authority.substr(close + 1);
        if (!rest.empty() && rest[0] != ':') return Refuse(error, "unexpected text after the IPv6 address");
        if (!rest.empty()) portText = rest.substr(1);
        if (!rest.empty() && portText.empty()) return Refuse(error, "the port after ':' is empty");
    } else {
        const size_t colon = authority.find(':');
        target.host = authority.substr(0, colon);
        if (colon != std::string_view::npos) {
            portText = authority.substr(colon + 1);
            if (portText.empty()) return Refuse(error, "the port after ':' is empty");
        }
        if (!HostName(target.host)) return Refuse(error, Quoted(target.host) + " is not a host name");
    }
    if (!portText.empty()) {
        if (portText.size() > 5 || portText.find_first_not_of("0123456789") != std::string_view::npos)
            return Refuse(error, "the port \"" + std::string(portText) + "\" is not a number from 1 to 65535");
        const int port = std::stoi(std::string(portText));
        if (port < 1 || port > 65535)
            return Refuse(error, "the port \"" + std::string(portText) + "\" is not a number from 1 to 65535");
        target.port = port;
    }
    return target;
}

std::string TopicLevel(std::string_view name) {
    // A topic must be UTF-8 without control characters, or the broker refuses it (and with it
    // every record behind it): whatever is not becomes '_', as the separators and wildcards do.
    std::string level;
    for (size_t at = 0; at < name.size();) {
        bool valid = true;
        const size_t start = at;
        const std::uint32_t code = platform::NextCodePoint(name, at, &valid);
        const bool control = code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0xFFFE || code == 0xFFFF;
        if (!valid || control || code == '/' || code == '+' || code == '#') {
            level += '_';
        } else {
            level.append(name.substr(start, at - start));
        }
    }
    return level.empty() ? "_" : level;
}

std::string PortTopicLevel(std::string_view port) {
    const size_t cut = port.find_last_of("/\\");
    return TopicLevel(cut == std::string_view::npos ? port : port.substr(cut + 1));
}

std::string RecordTopic(const MqttTarget& target, std::string_view stationHost, std::string_view port) {
    return target.prefix + "/" + TopicLevel(stationHost) + "/" + PortTopicLevel(port);
}
