// SPDX-License-Identifier: Apache-2.0
#include "records/delivery_settings.h"

#include <cstdlib>

#include "platform/registry.h"

namespace {
constexpr const char* kSettingsKey = "SOFTWARE\\Vexlor";
}

PublishSettings ReadPublishSettings(const std::optional<std::string>& url, const std::optional<std::string>& caFile) {
    PublishSettings settings;
    if (url && caFile) return {*url, *caFile};
    const platform::Registry registry = platform::Registry::Load();
    settings.url = url ? *url : registry.ReadString(kSettingsKey, "publish").value_or("");
    settings.caFile = caFile ? *caFile : registry.ReadString(kSettingsKey, "publish_ca").value_or("");
    return settings;
}

std::optional<MqttConnection> MakeMqttConnection(const PublishSettings& settings, std::string& error) {
    const std::optional<MqttTarget> target = ParseMqttUrl(settings.url, error);
    if (!target) return std::nullopt;
    if (!target->tls && !settings.caFile.empty()) {
        error = "a CA file goes with an mqtts:// URL, not with " + target->Text();
        return std::nullopt;
    }
    MqttConnection connection;
    connection.target = *target;
    connection.caFile = settings.caFile;
    if (const char* password = std::getenv(kMqttPasswordVariable)) connection.password = password;
    return connection;
}
