// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <memory>
#include <string>

#include "model_line.h"
#include "platform/serial_line.h"

// A port's cable, taken by the looks for a handset and by each download in turn.
class SharedLine : public platform::SerialLine {
public:
    explicit SharedLine(std::shared_ptr<ModelLine> line) : m_line(std::move(line)) {}
    OpenResult Open(const std::string& device, uint32_t rate) override { return m_line->Open(device, rate); }
    int Close(CloseMode mode) override { return m_line->Close(mode); }
    bool IsOpen() const override { return m_line->IsOpen(); }
    int Read(void* buffer, size_t capacity, size_t* received, int timeoutMs, int settleMs) override {
        return m_line->Read(buffer, capacity, received, timeoutMs, settleMs);
    }
    int Write(const void* data, size_t length, size_t* written) override {
        return m_line->Write(data, length, written);
    }
    void WakeReader() override { m_line->WakeReader(); }
    void DiscardWake() override { m_line->DiscardWake(); }

private:
    std::shared_ptr<ModelLine> m_line;
};
