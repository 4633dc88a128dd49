// SPDX-License-Identifier: Apache-2.0
#include "mqtt_broker.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

namespace {

constexpr const char* kBroker = "/usr/sbin/mosquitto";
constexpr int kStartLimitMs = 5000;

sockaddr_in LocalAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    const sockaddr_in address = LocalAddress(port);
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// Runs a shell command in folder; true when it exits 0.
bool Shell(const std::string& folder, const std::string& command) {
    const std::string line = "cd '" + folder + "' && { " + command + "; } >>setup.log 2>&1";
    return std::system(line.c_str()) == 0;
}

}  // namespace

int FreeLocalPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in address = LocalAddress(0);
    socklen_t size = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

MqttBroker::MqttBroker(Options options) : m_options(std::move(options)) {}

MqttBroker::~MqttBroker() { Stop(); }

std::string MqttBroker::Url(const std::string& prefix, const std::string& user) const {
    return std::string(m_options.tls ? "mqtts://" : "mqtt://") + (user.empty() ? "" : user + "@") +
           (m_options.tls ? "localhost" : "127.0.0.1") + ":" + std::to_string(m_port) + "/" + prefix;
}

bool MqttBroker::Prepare() {
    const std::string& dir = m_folder.Path();
    m_port = FreeLocalPort();
    m_plainPort = FreeLocalPort();
    if (m_port == 0 || m_plainPort == 0 || m_port == m_plainPort) {
        m_error = "no free local port";
        return false;
    }
    std::string config =
        "user root\npersistence true\npersistence_location " + dir + "/\nlog_dest file " + dir + "/broker.log\n";
    // Offline sessions keep everything: a listener away during an outage misses nothing.
    config += "max_queued_messages 0\n";
    if (m_options.user.empty()) {
        config += "allow_anonymous true\n";
    } else {
        if (!Shell(dir, "mosquitto_passwd -c -b passwords '" + m_options.user + "' '" + m_options.password + "'")) {
            m_error = "mosquitto_passwd failed: " + ReadWholeFile(m_folder.File("setup.log"));
            return false;
        }
        config += "allow_anonymous false\npassword_file " + dir + "/passwords\n";
    }
    config += "listener " + std::to_string(m_plainPort) + " 127.0.0.1\n";
    config += "listener " + std::to_string(m_port) + " 127.0.0.1\n";
    if (m_options.tls) {
        // A CA, the broker's certificate for localhost signed by it, and a second CA that
        // signed nothing here: the wrong one to trust.
        const std::string key = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
        const bool made =
            Shell(dir, "openssl req -x509 " + key + " -keyout ca.key -out ca.crt -days 2 -subj '/CN=Vexlor test CA'") &&
            Shell(dir, "openssl req -x509 " + key +
                           " -keyout other-ca.key -out other-ca.crt -days 2 -subj '/CN=Another CA'") &&
            Shell(dir, "openssl req -new " + key + " -keyout server.key -out server.csr -subj '/CN=localhost'") &&
            Shell(dir, "printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\\n' > server.ext") &&
            Shell(dir,
                  "openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 "
                  "-extfile server.ext -out server.crt");
        if (!made) {
            m_error = "openssl failed: " + ReadWholeFile(m_folder.File("setup.log"));
            return false;
        }
        config += "cafile " + dir + "/ca.crt\ncertfile " + dir + "/server.crt\nkeyfile " + dir + "/server.key\n";
    }
    if (!WriteWholeFile(m_folder.File("mosquitto.conf"), config)) {
        m_error = "cannot write the broker's configuration";
        return false;
    }
    m_prepared = true;
    return true;
}

bool MqttBroker::Start() {
    if (!m_prepared && !Prepare()) return false;
    m_process = std::make_unique<ChildProcess>();
    if (!m_process->Start(kBroker, {"-c", m_folder.File("mosquitto.conf")}, {}, m_folder.File("stderr.log"))) {
        m_error = std::string("cannot start ") + kBroker;
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartLimitMs);
    while (!(Accepts(m_port) && Accepts(m_plainPort))) {
        if (std::chrono::steady_clock::now() >= deadline || m_process->Wait(0) != -1) {
            m_error = "the broker did not start: " + ReadWholeFile(m_folder.File("stderr.log")) +
                      ReadWholeFile(m_folder.File("broker.log"));
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void MqttBroker::Stop() {
    if (!m_process) return;
    // SIGTERM: the broker saves its sessions, as at a restart of the factory's broker.
    if (m_process->Signal(SIGTERM)) m_process->Wait(kStartLimitMs);
    m_process.reset();
}
