#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A scripted handset on a pseudo-terminal for the transaction layer's tests: it answers the
// channel's detection packet in the chosen mode, decodes every request frame the tool sends and
// writes whatever bytes the test's handler returns (well-formed or not, split, late or doubled).
// The whole serial channel and listener run for real against it.
class PtyHandset {
public:
    enum class Answer { Diag, Dl, Silent };

    struct Reply {
        std::vector<uint8_t> bytes;
        int delayMs = 0;  // waited before these bytes are written
    };
    using Handler = std::function<std::vector<Reply>(const std::vector<uint8_t>& request)>;

    explicit PtyHandset(Answer answer);
    ~PtyHandset();
    PtyHandset(const PtyHandset&) = delete;
    PtyHandset& operator=(const PtyHandset&) = delete;

    const std::string& SlavePath() const { return m_slavePath; }
    void SetHandler(Handler handler);
    // Writes bytes to the tool now, unasked.
    void Send(const std::vector<uint8_t>& bytes);

    // Every byte received after the first detection packet (detection packets left out).
    std::vector<uint8_t> Received() const;
    // The payloads of the request frames received, CRC checked and removed.
    std::vector<std::vector<uint8_t>> Requests() const;
    int ProbeCount() const { return m_probes.load(); }

    // Frames payload as the handset does: DL with an opening flag, DIAG without.
    static std::vector<uint8_t> DlFrame(const std::vector<uint8_t>& payload);
    static std::vector<uint8_t> DiagFrame(const std::vector<uint8_t>& payload);

private:
    void Run();
    void Process();
    void WriteAll(const std::vector<uint8_t>& bytes);

    Answer m_answer;
    int m_master = -1;
    int m_slaveKeepAlive = -1;  // keeps the terminal's settings and spares reads EIO between opens
    std::string m_slavePath;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_probes{0};
    mutable std::mutex m_mutex;
    Handler m_handler;
    std::vector<uint8_t> m_pending;
    std::vector<uint8_t> m_received;
    std::vector<std::vector<uint8_t>> m_requests;
    std::thread m_thread;
};
