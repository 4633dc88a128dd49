// SPDX-License-Identifier: Apache-2.0
#include "app/cli/port_worker.h"

#include "platform/program_path.h"

OperatorWorker::OperatorWorker(const std::string& port, const CDLParameter& package, platform::NotifyTarget& target,
                               IMessageSink& messages, int extraDetectionMs) {
    m_program.Open(platform::ProgramPath());  // a failure shows as a failed read of the load
    m_operator.SetMessageSink(&messages);
    m_operator.SetNotifyTarget(&target);
    m_operator.SetProgramFile(&m_program);
    m_operator.UsePackage(package);
    m_operator.SetComPort(port);
    m_operator.Link().SetDetectionPatienceMs(extraDetectionMs);
}
