// SPDX-License-Identifier: Apache-2.0
#include "app/runs/port_worker.h"

#include "platform/program_path.h"

OperatorWorker::OperatorWorker(const std::string& port, const CDLParameter& package, platform::NotifyTarget& target,
                               IMessageSink& messages, int extraDetectionMs, std::unique_ptr<platform::SerialLine> line,
                               const std::string& programPath)
    : m_operator(std::move(line)) {
    // A failure shows as a failed read of the load.
    m_program.Open(programPath.empty() ? platform::ProgramPath() : programPath);
    m_operator.SetMessageSink(&messages);
    m_operator.SetNotifyTarget(&target);
    m_operator.SetProgramFile(&m_program);
    m_operator.UsePackage(package);
    m_operator.SetComPort(port);
    m_operator.Link().SetDetectionPatienceMs(extraDetectionMs);
}
