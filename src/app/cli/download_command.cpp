#include "app/cli/download_command.h"

#include <chrono>
#include <string>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "app/cli/message_queue.h"
#include "app/cli/progress_printer.h"
#include "app/cli/signal_watch.h"
#include "app/cli/status_text.h"
#include "app/common/instance_mutex.h"
#include "app/common/language_choice.h"
#include "app/common/resource_library.h"
#include "app/common/status_lines.h"
#include "engine/dl_operator.h"
#include "engine/dl_status.h"
#include "lang/string_ids.h"
#include "log/log.h"
#include "platform/program_path.h"
#include "platform/read_only_file.h"
#include "serial/serial_port_list.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitSignal = 130;
constexpr uint32_t kCheckFinished = 0x7F02;  // posted by the package-check thread at its end
constexpr std::chrono::milliseconds kPoll{100};

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

struct Session {
    const CliArguments& args;
    std::FILE* out;
    std::FILE* err;
    bool terminal;
    MessageQueue& queue;
    TextLookup text;
};

// The package check on a thread of its own while this one shows its progress. A signal cannot
// cut the check short (it reads a local file, so it ends soon); it is remembered instead.
int32_t CheckPackage(Session& session, CDLOperator& op, platform::ReadOnlyFile& program, bool& interrupted) {
    ProgressPrinter progress(session.out, session.terminal, "Checking");
    progress.SetLineFormat(session.text(lang::IDS_CHECK_PROGRESS));
    int32_t result = 0;
    auto check = [&] {
        result = op.SetLoad(program.IsOpen() ? &program : nullptr);
        session.queue.Post(kCheckFinished, 0);
    };
    std::thread checker;
    try {
        checker = std::thread(check);
    } catch (const std::system_error&) {
        check();
    }
    MessageQueue::Message message;
    for (;;) {
        if (!session.queue.WaitFor(message, kPoll)) continue;
        if (message.message == kCheckFinished) break;
        if (message.message == WM_DL_PROGRESS) progress.Show(message.wParam);
        if (message.message == SignalWatch::MESSAGE) interrupted = true;
    }
    if (checker.joinable()) checker.join();
    progress.End();
    return result;
}

int Download(Session& session, CDLOperator& op) {
    PrintedMessages messages(session.err);
    op.SetMessageSink(&messages);
    op.SetComPort(session.args.port);
    ProgressPrinter progress(session.out, session.terminal, "Downloading");
    progress.SetLineFormat(session.text(lang::IDS_PROGRESS));
    progress.TrackTransfer(op.Parameters().GetLoadSize());
    op.Start();

    MessageQueue::Message message;
    for (;;) {
        if (!session.queue.WaitFor(message, kPoll)) {
            // Looked at in this order, a final status posted just before the worker ended is
            // still in the queue and is taken on the next pass.
            if (!op.IsRunning() && session.queue.Empty()) {
                progress.End();
                return kExitFailed;
            }
            continue;
        }
        if (message.message == WM_DL_PROGRESS) {
            progress.Show(message.wParam);
        } else if (message.message == WM_DL_STATUS) {
            progress.End();
            const auto code = static_cast<uint32_t>(message.wParam);
            std::fprintf(session.out, "%s\n", StatusLineText(code, session.text).c_str());
            std::fflush(session.out);
            if (StatusLineFor(code).final) return code == STATUS_DONE ? kExitDone : kExitFailed;
        } else if (message.message == SignalWatch::MESSAGE) {
            progress.End();
            if (op.IsRunning()) op.Stop();
            std::fprintf(session.out, "%s\n", session.text(lang::IDS_STOPPED).c_str());
            std::fflush(session.out);
            return kExitSignal;
        }
    }
}

int RunWithLog(Session& session) {
    CInstanceMutex instance;
    if (instance.Create("Vexlor") != 1) {
        instance.Close();
        return kExitFailed;  // another instance runs: end silently
    }

    CResourceLibrary language;
    const std::string libraryPath = LanguageLibraryPath(platform::ProgramFolder(), session.args.language);
    if (!language.Load(libraryPath)) {
        std::fprintf(session.err, "Couldn't load file with path: %s.\n", libraryPath.c_str());
        return kExitFailed;
    }
    session.text = [&language](unsigned id) { return language.LoadString(id); };

    if (IsPortPresent(session.args.port.c_str()) != 1) {
        std::fprintf(session.err, "vexlor: %s is not in the port list (see vexlor --cli --list-ports).\n",
                     session.args.port.c_str());
        return kExitFailed;
    }

    platform::ReadOnlyFile program;
    program.Open(platform::ProgramPath());  // a failure shows as a failed package check
    CDLOperator op;
    op.SetNotifyTarget(&session.queue);
    bool interrupted = false;
    const int32_t loaded = CheckPackage(session, op, program, interrupted);
    if (interrupted) return kExitSignal;
    if (loaded < 0) {
        std::fprintf(session.err, "%s\n", session.text(lang::IDS_CHECK_FAILED).c_str());
        return kExitFailed;
    }
    op.SetProgramFile(&program);
    return Download(session, op);
}

}  // namespace

int RunDownloadCommand(const CliArguments& args, std::FILE* out, std::FILE* err) {
    MessageQueue queue;
    SignalWatch signals;
    // First, before any other thread exists: every thread inherits the blocked signals.
    if (!signals.Install(&queue)) {
        std::fprintf(err, "vexlor: cannot watch SIGINT and SIGTERM.\n");
        return kExitFailed;
    }
    LogOpen("SOFTWARE\\Vexlor");
    Session session{args, out, err, isatty(fileno(out)) == 1, queue, {}};
    const int status = RunWithLog(session);
    signals.Stop();
    LogClose();
    return status;
}
