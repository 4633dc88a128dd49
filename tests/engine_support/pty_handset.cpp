#include "pty_handset.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

#include "link/crc.h"
#include "link/packet_packer.h"
#include "serial/phone_mode.h"

namespace {
const std::vector<uint8_t> kDiagDetected = {0x13, 0x61, 0x74, 0x0D, 0x62, 0x09, 0x7E};
const std::vector<uint8_t> kDlDetected = {0x7E, 0x02, 0x6A, 0xD3, 0x7E};
}  // namespace

PtyHandset::PtyHandset(Answer answer) : m_answer(answer) {
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) throw std::runtime_error("openpt");
    m_slavePath = ptsname(m_master);
    m_slaveKeepAlive = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slaveKeepAlive < 0) throw std::runtime_error("open slave");
    termios raw{};
    tcgetattr(m_slaveKeepAlive, &raw);
    cfmakeraw(&raw);
    tcsetattr(m_slaveKeepAlive, TCSANOW, &raw);
    m_thread = std::thread([this] { Run(); });
}

PtyHandset::~PtyHandset() {
    m_stop.store(true);
    if (m_thread.joinable()) m_thread.join();
    if (m_slaveKeepAlive >= 0) ::close(m_slaveKeepAlive);
    if (m_master >= 0) ::close(m_master);
}

void PtyHandset::SetHandler(Handler handler) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handler = std::move(handler);
}

std::vector<uint8_t> PtyHandset::Received() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

std::vector<std::vector<uint8_t>> PtyHandset::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

std::vector<uint8_t> PtyHandset::DlFrame(const std::vector<uint8_t>& payload) {
    return PackPacket(payload, 0x7E, 0x7E);
}

std::vector<uint8_t> PtyHandset::DiagFrame(const std::vector<uint8_t>& payload) {
    return PackPacket(payload, 0, 0x7E);
}

void PtyHandset::WriteAll(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return;
        }
        done += static_cast<size_t>(n);
    }
}

void PtyHandset::Send(const std::vector<uint8_t>& bytes) { WriteAll(bytes); }

void PtyHandset::Run() {
    uint8_t buffer[4096];
    while (!m_stop.load()) {
        pollfd fd{m_master, POLLIN, 0};
        const int ready = ::poll(&fd, 1, 20);
        if (ready <= 0) continue;
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        m_pending.insert(m_pending.end(), buffer, buffer + n);
        Process();
    }
}

void PtyHandset::Process() {
    const std::vector<uint8_t> probe(kDetectionPacket, kDetectionPacket + kDetectionPacketSize);
    for (;;) {
        if (m_pending.empty()) return;
        if (m_pending[0] == probe[0]) {
            const size_t have = std::min(m_pending.size(), probe.size());
            if (std::equal(m_pending.begin(), m_pending.begin() + static_cast<long>(have), probe.begin())) {
                if (have < probe.size()) return;  // the rest of the probe is on its way
                m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(probe.size()));
                ++m_probes;
                if (m_answer == Answer::Diag) WriteAll(kDiagDetected);
                if (m_answer == Answer::Dl) WriteAll(kDlDetected);
                continue;
            }
        }
        const auto flag = std::find(m_pending.begin(), m_pending.end(), 0x7E);
        if (flag == m_pending.end()) return;
        std::vector<uint8_t> raw(m_pending.begin(), flag + 1);
        m_pending.erase(m_pending.begin(), flag + 1);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_received.insert(m_received.end(), raw.begin(), raw.end());
        }
        if (raw.size() == 1) continue;  // an opening flag
        std::vector<uint8_t> frame;
        for (size_t i = 0; i + 1 < raw.size(); ++i) {
            if (raw[i] == 0x7D && i + 2 < raw.size()) {
                frame.push_back(raw[++i] ^ 0x20);
            } else {
                frame.push_back(raw[i]);
            }
        }
        if (frame.size() < 3 || Crc16Calc(frame.data(), static_cast<uint32_t>(frame.size() * 8)) != CRC16_GOOD_FRAME) {
            continue;
        }
        frame.resize(frame.size() - 2);
        Handler handler;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(frame);
            handler = m_handler;
        }
        if (!handler) continue;
        for (const Reply& reply : handler(frame)) {
            if (reply.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMs));
            WriteAll(reply.bytes);
        }
    }
}
