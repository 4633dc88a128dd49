// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <memory>
#include <string>

#include "child_process.h"
#include "temp_folder.h"

// Debian's mosquitto broker, run by a test on free local ports with a configuration of its own:
// a plain listener for the test's listener, and the listener the tool publishes to (plain or
// TLS with a throw-away CA made by openssl). Sessions persist across Stop and Start, as a real
// broker's do across a restart.
class MqttBroker {
public:
    struct Options {
        bool tls = false;
        std::string user;  // set: a password file with this one login, no anonymous clients
        std::string password;
    };
    explicit MqttBroker(Options options);
    MqttBroker() : MqttBroker(Options{}) {}
    ~MqttBroker();

    // Starts the broker (on the same ports again after Stop) and waits until it takes
    // connections. False, with Error() set, when it does not within a few seconds.
    bool Start();
    void Stop();

    int Port() const { return m_port; }               // the listener the tool publishes to
    int ListenerPort() const { return m_plainPort; }  // always plain, for the test's listener
    std::string CaFile() const { return m_folder.File("ca.crt"); }
    std::string OtherCaFile() const { return m_folder.File("other-ca.crt"); }  // signed nothing here
    // The URL of the publishing listener with the given topic prefix and user.
    std::string Url(const std::string& prefix, const std::string& user = "") const;
    const std::string& Error() const { return m_error; }

private:
    bool Prepare();
    Options m_options;
    TempFolder m_folder;
    int m_port = 0;
    int m_plainPort = 0;
    bool m_prepared = false;
    std::string m_error;
    std::unique_ptr<ChildProcess> m_process;
};

// A free TCP port on 127.0.0.1 (as the system hands one out; free when asked).
int FreeLocalPort();
