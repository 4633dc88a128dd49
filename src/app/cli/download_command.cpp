#include "app/cli/download_command.h"

#include <chrono>
#include <string>
#include <system_error>
#include <thread>

#include "app/cli/cli_session.h"
#include "app/cli/exit_status.h"
#include "app/cli/progress_printer.h"
#include "app/cli/signal_watch.h"
#include "app/cli/status_text.h"
#include "app/cli/transfer_estimate.h"
#include "app/common/format_text.h"
#include "app/common/package_problem.h"
#include "engine/dl_operator.h"
#include "engine/dl_status.h"
#include "lang/string_ids.h"
#include "platform/program_path.h"
#include "platform/read_only_file.h"

namespace {

constexpr uint32_t kCheckFinished = 0x7F02;  // posted by the package-check thread at its end
constexpr std::chrono::milliseconds kPoll{100};
// Under the status line, lined up with its text.
constexpr const char* kDetailIndent = "        ";

// The operator's two fixed messages (a worker that cannot be started or stopped).
class PrintedMessages : public IMessageSink {
public:
    explicit PrintedMessages(std::FILE* err) : m_err(err) {}
    void Show(const char* text) override {
        std::fprintf(m_err, "%s\n", text);
        std::fflush(m_err);
    }

private:
    std::FILE* m_err;
};

// The package check on a thread of its own while this one shows its progress. A signal cannot
// cut the check short (it reads a local file, so it ends soon); it is remembered instead.
int32_t CheckPackage(CliSession& session, CDLOperator& op, platform::ReadOnlyFile& program, bool& interrupted) {
    ProgressPrinter progress(session.Out(), session.Terminal(), "Checking");
    progress.SetLineFormat(session.Text()(lang::IDS_CHECK_PROGRESS));
    int32_t result = 0;
    auto check = [&] {
        result = op.SetLoad(program.IsOpen() ? &program : nullptr);
        session.Queue().Post(kCheckFinished, 0);
    };
    std::thread checker;
    try {
        checker = std::thread(check);
    } catch (const std::system_error&) {
        check();
    }
    MessageQueue::Message message;
    for (;;) {
        if (!session.Queue().WaitFor(message, kPoll)) continue;
        if (message.message == kCheckFinished) break;
        if (message.message == WM_DL_PROGRESS && !session.Args().quiet) progress.Show(message.wParam);
        if (message.message == SignalWatch::MESSAGE) interrupted = true;
    }
    if (checker.joinable()) checker.join();
    progress.End();
    return result;
}

// "<bytes> bytes sent in <s> s, <rate> on average." for the end of every run.
void PrintSummary(const CliSession& session, const CDLOperator& op, std::chrono::steady_clock::time_point start) {
    if (session.Args().quiet) return;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const uint64_t bytes = op.BytesSent();
    char time[32];
    std::snprintf(time, sizeof time, "%.1f", seconds);
    session.Print(FormatTexts(session.Text()(lang::IDS_SUMMARY),
                              {std::to_string(bytes), time, FormatRate(seconds > 0 ? bytes / seconds : 0)}));
}

int Download(CliSession& session, CDLOperator& op) {
    PrintedMessages messages(session.Err());
    op.SetMessageSink(&messages);
    op.SetComPort(session.Port());
    op.Link().SetDetectionPatienceMs(session.ExtraDetectionMs());
    ProgressPrinter progress(session.Out(), session.Terminal(), "Downloading");
    progress.SetLineFormat(session.Text()(lang::IDS_PROGRESS));
    progress.TrackTransfer(op.Parameters().GetLoadSize());
    const auto start = std::chrono::steady_clock::now();
    op.Start();

    MessageQueue::Message message;
    for (;;) {
        if (!session.Queue().WaitFor(message, kPoll)) {
            // Looked at in this order, a final status posted just before the worker ended is
            // still in the queue and is taken on the next pass.
            if (!op.IsRunning() && session.Queue().Empty()) {
                progress.End();
                return kExitFailed;
            }
            continue;
        }
        if (message.message == WM_DL_PROGRESS) {
            if (!session.Args().quiet) progress.Show(message.wParam);
        } else if (message.message == WM_DL_STATUS) {
            progress.End();
            const auto code = static_cast<uint32_t>(message.wParam);
            const bool final = StatusLineFor(code).final;
            const RunFailure failure = final ? op.LastFailure() : RunFailure{};
            session.Print(StatusLineText(code, session.Text(), failure));
            if (!final) continue;
            const std::string why = PortFailureLine(failure, session.Port(), session.Text());
            if (!why.empty()) session.Print(kDetailIndent + why);
            PrintSummary(session, op, start);
            return code == STATUS_DONE ? kExitDone : kExitFailed;
        } else if (message.message == SignalWatch::MESSAGE) {
            progress.End();
            if (op.IsRunning()) op.Stop();
            session.Print(session.Text()(lang::IDS_STOPPED));
            PrintSummary(session, op, start);
            return kExitSignal;
        }
    }
}

}  // namespace

int RunDownloadCommand(CliSession& session) {
    platform::ReadOnlyFile program;
    program.Open(platform::ProgramPath());  // a failure shows as a failed package check
    CDLOperator op;
    op.SetNotifyTarget(&session.Queue());
    bool interrupted = false;
    const int32_t loaded = CheckPackage(session, op, program, interrupted);
    if (interrupted) return kExitSignal;
    if (loaded < 0) {
        const unsigned id = IsMissingPackage(loaded) ? lang::IDS_NO_LOAD : lang::IDS_CHECK_FAILED;
        std::fprintf(session.Err(), "%s\n", session.Text()(id).c_str());
        return kExitPackage;
    }
    op.SetProgramFile(&program);
    return Download(session, op);
}
