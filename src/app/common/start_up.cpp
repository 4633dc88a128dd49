// SPDX-License-Identifier: Apache-2.0
#include "app/common/start_up.h"

#include "app/common/instance_mutex.h"
#include "app/common/language_choice.h"
#include "app/common/resource_ids.h"
#include "app/common/resource_library.h"
#include "log/log.h"
#include "platform/program_path.h"

void RunStartUp(StartUpView& view, CResourceLibrary& library, const std::string& programFolder, StartWindow window) {
    LogOpen("SOFTWARE\\Vexlor");
    CInstanceMutex instance;
    if (window == StartWindow::kMain && instance.Create("Vexlor") <= 0) {
        // Another copy runs (or the guard failed, which is logged): end without a word.
        instance.Close();
        return;
    }

    int position = 0;
    if (view.ChooseLanguage(position) != IDOK) return;

    const std::string path =
        LanguageLibraryPath(programFolder.empty() ? platform::ProgramFolder() : programFolder, position);
    if (!library.Load(path)) {
        LogWrite(LOG_ER, "Couldn't load file with path: %s. %s", path.c_str(), library.LoadError().c_str());
        view.ShowError("Error", "Couldn't load file with path: " + path + ".");
        return;
    }
    if (window == StartWindow::kBench) {
        view.RunBenchWindow(library);
    } else {
        view.RunMainWindow(library);
    }
}
