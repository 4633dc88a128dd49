// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

struct mosquitto;

// A receiver at the factory, as the test plays it: a persistent QoS 1 subscription over
// libmosquitto's own thread, which reconnects after a broker restart and then gets what was
// published meanwhile. Keeps every message in arrival order.
class MqttListener {
public:
    struct Message {
        std::string topic;
        std::string payload;
        int qos = 0;
        bool retained = false;
    };

    MqttListener(int port, std::string filter, std::string user = "", std::string password = "");
    ~MqttListener();

    // Connects and subscribes; false (with Error()) when that does not happen within 5 s.
    bool Start();
    // Waits up to limitMs for at least count messages; the messages so far.
    std::vector<Message> WaitFor(std::size_t count, int limitMs);
    // Makes sure the broker has taken this listener's acknowledgement of every message received
    // so far, so stopping it now leaves none of them to send again. False after 5 s.
    bool Settle();
    const std::string& Error() const { return m_error; }

private:
    mosquitto* m_mosq = nullptr;
    int m_port;
    std::string m_filter;
    std::string m_user;
    std::string m_password;
    std::string m_error;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_subscribed = false;
    int m_acknowledged = 0;  // PUBACKs of the listener's own Settle messages
    std::vector<Message> m_messages;
};
