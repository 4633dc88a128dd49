// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <optional>
#include <string>

#include "records/mqtt_publisher.h"

// Where records are published, as the command line or the settings file names it.
struct PublishSettings {
    std::string url;     // --publish, or "publish" in the settings file; empty: no publishing
    std::string caFile;  // --publish-ca, or "publish_ca"
};

// "publish" and "publish_ca" of SOFTWARE\Vexlor in the settings file in use (the windows' way
// to name the broker); the command line's own options, when given, win over each.
PublishSettings ReadPublishSettings(const std::optional<std::string>& url, const std::optional<std::string>& caFile);

// The connection settings name: the URL parsed, the password from VEXLOR_MQTT_PASSWORD.
// Nothing, with error set, for a URL that is no broker's or a CA file given for mqtt://.
std::optional<MqttConnection> MakeMqttConnection(const PublishSettings& settings, std::string& error);

inline constexpr const char* kMqttPasswordVariable = "VEXLOR_MQTT_PASSWORD";
