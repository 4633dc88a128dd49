// SPDX-License-Identifier: Apache-2.0
// The publisher over libmosquitto, driven by mosquitto_loop with short waits on the calling
// thread: every step ends by its time limit or the cancel flag. A connection is never reused
// after a fault: libmosquitto would resend its own queue on reconnecting, beside the records
// sent again from the store.
#include "records/mqtt_publisher.h"

#include <mosquitto.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "platform/sys_error.h"
#include "records/system_trust.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLoopWaitMs = 50;
constexpr int kKeepAliveSeconds = 30;
constexpr int kInFlight = 100;

PublishError Fault(PublishFault fault, std::string detail) { return {fault, std::move(detail)}; }

class MosquittoPublisher final : public RecordPublisher {
public:
    explicit MosquittoPublisher(const MqttConnection& connection) : m_connection(connection) {}
    ~MosquittoPublisher() override {
        if (!m_mosq) return;
        if (m_connack == 0) {
            mosquitto_disconnect(m_mosq);
            mosquitto_loop(m_mosq, 0, 1);
        }
        mosquitto_destroy(m_mosq);
    }

    PublishError Connect() override {
        static std::once_flag once;
        std::call_once(once, [] {
            PrepareTlsLibrary();
            mosquitto_lib_init();
        });
        m_mosq = mosquitto_new(nullptr, true, this);
        if (!m_mosq) return Fault(PublishFault::kUnreachable, std::strerror(errno));
        mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_max_inflight_messages_set(m_mosq, kInFlight);
        mosquitto_connect_callback_set(
            m_mosq, [](mosquitto*, void* self, int rc) { static_cast<MosquittoPublisher*>(self)->m_connack = rc; });
        mosquitto_publish_callback_set(m_mosq, [](mosquitto*, void* self, int mid) {
            auto* publisher = static_cast<MosquittoPublisher*>(self);
            publisher->m_acked.insert(mid);
            ++publisher->m_ackCount;
        });
        mosquitto_log_callback_set(m_mosq, [](mosquitto*, void* self, int level, const char* text) {
            if (level == MOSQ_LOG_ERR && text) static_cast<MosquittoPublisher*>(self)->m_lastLog = text;
        });
        const MqttTarget& target = m_connection.target;
        if (!target.user.empty()) {
            const char* password = m_connection.password.empty() ? nullptr : m_connection.password.c_str();
            if (mosquitto_username_pw_set(m_mosq, target.user.c_str(), password) != MOSQ_ERR_SUCCESS)
                return Fault(PublishFault::kLogin, "the user name or password is not valid UTF-8");
        }
        if (target.tls) {
            if (const PublishError error = SetUpTls()) return error;
        }
        const int rc = mosquitto_connect_async(m_mosq, target.host.c_str(), target.port, kKeepAliveSeconds);
        if (rc != MOSQ_ERR_SUCCESS) return LoopFault(rc, PublishFault::kUnreachable);
        const Clock::time_point deadline = Clock::now() + m_connection.connectTimeout;
        while (m_connack < 0) {
            if (Cancelled()) return Fault(PublishFault::kStopped, "stopped");
            if (Clock::now() >= deadline) {
                return Fault(PublishFault::kUnreachable,
                             "no answer within " + std::to_string(m_connection.connectTimeout.count()) + " ms");
            }
            const int loop = mosquitto_loop(m_mosq, kLoopWaitMs, 1);
            if (loop != MOSQ_ERR_SUCCESS && m_connack < 0) return LoopFault(loop, PublishFault::kUnreachable);
        }
        if (m_connack == 0) return {};
        const bool login = m_connack == 4 || m_connack == 5;  // bad user name or password; not authorised
        return Fault(login ? PublishFault::kLogin : PublishFault::kUnreachable, mosquitto_connack_string(m_connack));
    }

    PublishError Publish(const std::vector<WaitingRecord>& records, std::size_t& acknowledged) override {
        acknowledged = 0;
        std::vector<int> mids;
        mids.reserve(records.size());
        PublishError error = SendAndWait(records, mids, acknowledged);
        // Message IDs come round again after 65535: an old acknowledgement must not count twice.
        for (const int mid : mids) m_acked.erase(mid);
        return error;
    }

    PublishError Service() override {
        const int rc = mosquitto_loop(m_mosq, 0, 1);
        return rc == MOSQ_ERR_SUCCESS ? PublishError{} : LoopFault(rc, PublishFault::kLost);
    }

private:
    PublishError SendAndWait(const std::vector<WaitingRecord>& records, std::vector<int>& mids,
                             std::size_t& acknowledged) {
        for (const WaitingRecord& record : records) {
            const std::string topic = RecordTopic(m_connection.target, record.stationHost, record.port);
            int mid = 0;
            const int rc = mosquitto_publish(m_mosq, &mid, topic.c_str(), static_cast<int>(record.payload.size()),
                                             record.payload.data(), 1, false);
            if (rc != MOSQ_ERR_SUCCESS) return Settle(mids, acknowledged, LoopFault(rc, PublishFault::kLost));
            mids.push_back(mid);
        }
        Clock::time_point deadline = Clock::now() + m_connection.ackTimeout;
        std::size_t seen = m_ackCount;
        for (;;) {
            Settle(mids, acknowledged, {});
            if (acknowledged == mids.size()) return {};
            if (Cancelled()) return Fault(PublishFault::kStopped, "stopped");
            if (m_ackCount != seen) {
                seen = m_ackCount;
                deadline = Clock::now() + m_connection.ackTimeout;
            } else if (Clock::now() >= deadline) {
                return Fault(PublishFault::kLost,
                             "no acknowledgement within " + std::to_string(m_connection.ackTimeout.count()) + " ms");
            }
            const int rc = mosquitto_loop(m_mosq, kLoopWaitMs, 1);
            if (rc != MOSQ_ERR_SUCCESS) return Settle(mids, acknowledged, LoopFault(rc, PublishFault::kLost));
        }
    }

    bool Cancelled() const { return m_connection.cancel && m_connection.cancel->load(); }

    PublishError SetUpTls() {
        const std::string& ca = m_connection.caFile;
        if (ca.empty()) {
            std::string error;
            if (!TrustSystemCas(m_mosq, m_connection.target.host, error)) return Fault(PublishFault::kTls, error);
            return {};
        }
        // libmosquitto only says "invalid" for a CA file it cannot open: the system says why.
        if (std::FILE* file = std::fopen(ca.c_str(), "rb")) {
            std::fclose(file);
        } else {
            return Fault(PublishFault::kCaFile, ca + ": " + std::strerror(errno));
        }
        if (mosquitto_tls_set(m_mosq, ca.c_str(), nullptr, nullptr, nullptr, nullptr) != MOSQ_ERR_SUCCESS)
            return Fault(PublishFault::kCaFile, ca + ": not a CA certificate in PEM form");
        return {};
    }

    // What a failed mosquitto call means; fallback for an error that names no cause of its own.
    PublishError LoopFault(int rc, PublishFault fallback) const {
        const std::string log = m_lastLog.empty() ? "" : " (" + m_lastLog + ")";
        switch (rc) {
        case MOSQ_ERR_TLS:
        case MOSQ_ERR_TLS_HANDSHAKE: return Fault(PublishFault::kTls, mosquitto_strerror(rc) + log);
        // Winsock's numbers on Windows: the system's words for them, not the C library's.
        case MOSQ_ERR_ERRNO: return Fault(fallback, platform::SocketErrorPhrase(errno) + log);
        case MOSQ_ERR_CONN_REFUSED:
            return Fault(m_connack == 4 || m_connack == 5 ? PublishFault::kLogin : fallback, mosquitto_strerror(rc));
        default: return Fault(fallback, mosquitto_strerror(rc) + log);
        }
    }

    // acknowledged: the records of mids acknowledged so far, counted from the first; passes error on.
    PublishError Settle(const std::vector<int>& mids, std::size_t& acknowledged, PublishError error) const {
        while (acknowledged < mids.size() && m_acked.count(mids[acknowledged])) ++acknowledged;
        return error;
    }

    MqttConnection m_connection;
    mosquitto* m_mosq = nullptr;
    int m_connack = -1;
    std::unordered_set<int> m_acked;  // of the batch in flight
    std::size_t m_ackCount = 0;       // every acknowledgement so far: progress resets the time limit
    std::string m_lastLog;
};

}  // namespace

std::unique_ptr<RecordPublisher> MakeMqttPublisher(const MqttConnection& connection) {
    return std::make_unique<MosquittoPublisher>(connection);
}

bool MqttPublishingAvailable() { return true; }
