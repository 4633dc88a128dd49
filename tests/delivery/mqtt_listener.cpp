// SPDX-License-Identifier: Apache-2.0
#include "mqtt_listener.h"

#include <mosquitto.h>

#include <atomic>
#include <chrono>

namespace {
std::atomic<int> g_listeners{0};
}

MqttListener::MqttListener(int port, std::string filter, std::string user, std::string password)
    : m_port(port), m_filter(std::move(filter)), m_user(std::move(user)), m_password(std::move(password)) {}

MqttListener::~MqttListener() {
    if (!m_mosq) return;
    mosquitto_disconnect(m_mosq);
    mosquitto_loop_stop(m_mosq, false);  // after the disconnection: no thread cancelled holding a lock
    mosquitto_destroy(m_mosq);
}

bool MqttListener::Start() {
    mosquitto_lib_init();
    const std::string id = "vexlor-test-listener-" + std::to_string(++g_listeners);
    m_mosq = mosquitto_new(id.c_str(), false, this);  // a persistent session
    if (!m_user.empty()) mosquitto_username_pw_set(m_mosq, m_user.c_str(), m_password.c_str());
    mosquitto_reconnect_delay_set(m_mosq, 1, 1, false);
    mosquitto_connect_callback_set(m_mosq, [](mosquitto* mosq, void* self, int rc) {
        auto* listener = static_cast<MqttListener*>(self);
        if (rc == 0) mosquitto_subscribe(mosq, nullptr, listener->m_filter.c_str(), 1);
    });
    mosquitto_subscribe_callback_set(m_mosq, [](mosquitto*, void* self, int, int, const int*) {
        auto* listener = static_cast<MqttListener*>(self);
        std::lock_guard lock(listener->m_mutex);
        listener->m_subscribed = true;
        listener->m_changed.notify_all();
    });
    mosquitto_publish_callback_set(m_mosq, [](mosquitto*, void* self, int) {
        auto* listener = static_cast<MqttListener*>(self);
        std::lock_guard lock(listener->m_mutex);
        ++listener->m_acknowledged;
        listener->m_changed.notify_all();
    });
    mosquitto_message_callback_set(m_mosq, [](mosquitto*, void* self, const mosquitto_message* message) {
        auto* listener = static_cast<MqttListener*>(self);
        std::lock_guard lock(listener->m_mutex);
        listener->m_messages.push_back(
            {message->topic,
             std::string(static_cast<const char*>(message->payload), static_cast<std::size_t>(message->payloadlen)),
             message->qos, message->retain});
        listener->m_changed.notify_all();
    });
    if (mosquitto_connect(m_mosq, "127.0.0.1", m_port, 30) != MOSQ_ERR_SUCCESS) {
        m_error = "the listener cannot connect";
        return false;
    }
    mosquitto_loop_start(m_mosq);
    std::unique_lock lock(m_mutex);
    if (!m_changed.wait_for(lock, std::chrono::seconds(5), [this] { return m_subscribed; })) {
        m_error = "the listener's subscription was not acknowledged";
        return false;
    }
    return true;
}

std::vector<MqttListener::Message> MqttListener::WaitFor(std::size_t count, int limitMs) {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::milliseconds(limitMs), [&] { return m_messages.size() >= count; });
    return m_messages;
}

bool MqttListener::Settle() {
    // libmosquitto acknowledges a message only after its callback returned, so the first round
    // may overtake the last acknowledgement; the second leaves after it, and the broker answers
    // the packets of one connection in order.
    for (int round = 0; round < 2; ++round) {
        int before = 0;
        {
            std::lock_guard lock(m_mutex);
            before = m_acknowledged;
        }
        if (mosquitto_publish(m_mosq, nullptr, "vexlor-test/settle", 0, nullptr, 1, false) != MOSQ_ERR_SUCCESS)
            return false;
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, std::chrono::seconds(5), [&] { return m_acknowledged > before; })) return false;
    }
    return true;
}
