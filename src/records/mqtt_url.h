// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <optional>
#include <string>
#include <string_view>

// Where records are published: mqtt://[user@]host[:port]/topic-prefix, or mqtts:// for TLS.
struct MqttTarget {
    bool tls = false;
    std::string user;    // empty: no login
    std::string host;    // a name, an IPv4 address or a bracketed IPv6 address without its brackets
    int port = 1883;     // 8883 by default for mqtts
    std::string prefix;  // topic levels put before the station's host and the port, no '/' at the ends

    // The URL again, without any password, for messages.
    std::string Text() const;
};

// Parses a --publish URL; nothing, with error set, when it is not one this tool can use.
std::optional<MqttTarget> ParseMqttUrl(std::string_view url, std::string& error);

// One topic level made from any name: '/', '+', '#', control characters and bytes that are not
// UTF-8 become '_', so the name can neither add a level nor act as a wildcard, nor be refused.
// An empty name is "_".
std::string TopicLevel(std::string_view name);

// A port's topic level: its device's last path element ("/dev/ttyUSB0" -> "ttyUSB0",
// "\\.\COM12" -> "COM12"), made a level as TopicLevel does. "COM3" stays "COM3".
std::string PortTopicLevel(std::string_view port);

// <prefix>/<station host>/<port>, each of the last two made a single level.
std::string RecordTopic(const MqttTarget& target, std::string_view stationHost, std::string_view port);
