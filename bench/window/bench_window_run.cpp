// SPDX-License-Identifier: Apache-2.0
// The Qt bench window as a technician drives it, without one: English texts, every listed port
// checked, Start, then the window left alone until every port has ended. Each time a row's bar
// moves it prints a JSON line {"event":"progress","port":"COM5","percent":42,"t":12.345} (t:
// seconds on the steady clock since the start), and at the end one {"event":"result",...} per
// port with its state's text. Messages the window would show go to standard error.
//
//     bench_window_run --program FILE [--station] [--limit-s 600]
// The port list and the guards come from the environment (VEXLOR_REGISTRY, VEXLOR_SYSFS_ROOT,
// XDG_RUNTIME_DIR). Exit status 0 when every port ended done.
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/common/language_choice.h"
#include "app/common/resource_library.h"
#include "app/window/bench_dlg.h"
#include "app/window/progress_delegate.h"
#include "app/window/prompter.h"
#include "platform/program_path.h"

namespace {

// Answers every question with Yes and tells every message on standard error.
class StderrPrompter : public CPrompter {
public:
    bool AskYesNo(QWidget*, const QString& text) override {
        std::fprintf(stderr, "question: %s\n", qPrintable(text));
        return true;
    }
    void Inform(QWidget*, const QString& text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    void Error(const QString& caption, const QString& text) override {
        std::fprintf(stderr, "error: %s: %s\n", qPrintable(caption), qPrintable(text));
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::string program;
    bool station = false;
    int limitSeconds = 600;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--program") == 0 && i + 1 < argc) {
            program = argv[++i];
        } else if (std::strcmp(argv[i], "--station") == 0) {
            station = true;
        } else if (std::strcmp(argv[i], "--limit-s") == 0 && i + 1 < argc) {
            limitSeconds = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: bench_window_run --program FILE [--station] [--limit-s S]\n");
            return 2;
        }
    }
    QApplication application(argc, argv);
    CResourceLibrary library;
    if (!library.Load(LanguageLibraryPath(platform::ProgramFolder(), LANGUAGE_ENGLISH))) {
        std::fprintf(stderr, "bench_window_run: no English library beside the program\n");
        return 2;
    }
    StderrPrompter prompter;
    CBenchDlg::Options options;
    options.programPath = program;
    CBenchDlg window(library, prompter, std::move(options));
    if (!window.OnInitDialog()) return 1;
    window.show();

    const auto start = std::chrono::steady_clock::now();
    QTableWidget* table = window.Table();
    QObject::connect(table, &QTableWidget::itemChanged, [&](QTableWidgetItem* item) {
        if (item->column() != CBenchDlg::kProgress) return;
        const int percent = item->data(CProgressDelegate::ValueRole).toInt();
        if (percent < 0) return;
        const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("{\"event\":\"progress\",\"port\":\"%s\",\"percent\":%d,\"t\":%.3f}\n",
                    qPrintable(table->item(item->row(), CBenchDlg::kPort)->text()), percent, t);
    });
    window.StationBox()->setChecked(station);
    for (int row = 0; row < table->rowCount(); ++row) table->item(row, CBenchDlg::kPort)->setCheckState(Qt::Checked);
    window.StartButton()->click();

    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const bool late = std::chrono::steady_clock::now() - start > std::chrono::seconds(limitSeconds);
        if (window.Running() && !late) return;
        if (late) std::fprintf(stderr, "bench_window_run: still running after %d s; stopping\n", limitSeconds);
        window.done(0);  // asks (answered Yes) and stops whatever still runs
        application.quit();
    });
    watch.start(1000);
    application.exec();

    bool allDone = true;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QString state = table->item(row, CBenchDlg::kState)->text();
        allDone = allDone && state == "done";
        std::printf("{\"event\":\"result\",\"port\":\"%s\",\"state\":\"%s\",\"done\":%s}\n",
                    qPrintable(table->item(row, CBenchDlg::kPort)->text()), qPrintable(state),
                    qPrintable(table->item(row, CBenchDlg::kDone)->text()));
    }
    std::fflush(stdout);
    return allDone ? 0 : 1;
}
