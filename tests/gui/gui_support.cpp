// SPDX-License-Identifier: Apache-2.0
#include "gui_support.h"

#include <QDir>
#include <QTest>

#include "app/common/format_text.h"
#include "app/common/language_choice.h"
#include "lang/string_ids.h"
#include "packed_load.h"
#include "platform/program_path.h"
#include "settings_file.h"

bool CScriptedPrompter::AskYesNo(QWidget*, const QString& text) {
    questions << text;
    return answerYes;
}

void CScriptedPrompter::Inform(QWidget*, const QString& text) { informs << text; }

void CScriptedPrompter::Error(const QString& caption, const QString& text) { errors << caption + "|" + text; }

std::unique_ptr<CResourceLibrary> LoadLanguage(int position) {
    auto library = std::make_unique<CResourceLibrary>();
    const std::string path = LanguageLibraryPath(platform::ProgramFolder(), position);
    if (!library->Load(path)) qFatal("cannot load %s: %s", path.c_str(), library->LoadError().c_str());
    return library;
}

QString Text(const CResourceLibrary& library, unsigned id) { return QString::fromStdString(library.LoadString(id)); }

QString TextWithModel(const CResourceLibrary& library, unsigned id) {
    return QString::fromStdString(FormatText(library.LoadString(id), lang::kModelCode));
}

QString TextWithNumber(const CResourceLibrary& library, unsigned id, int value) {
    return QString::fromStdString(FormatNumber(library.LoadString(id), value));
}

QString BinFolder() { return QString::fromStdString(platform::ProgramFolder()); }

QString MakePackedProgram(const QString& folder, int loadSize, const QString& version) {
    // Packed in this process, as vexlor-pack packs.
    const std::string out = folder.toStdString() + "/vexlor-packed";
    const std::string why = PackLoadIntoProgram(folder.toStdString(), TestLoad(loadSize), version.toStdString(), out);
    if (!why.empty()) {
        QTest::qFail(why.c_str(), __FILE__, __LINE__);
        return {};
    }
    return QString::fromStdString(out);
}

SerialCommSources PortMap(const QString& folder, const std::map<std::string, std::string>& ports) {
    TestSettings settings;
    settings.logLevel = -1;  // no log
    settings.ports = ports;
    const std::string file = folder.toStdString() + "/ports.reg";
    // Also the settings file in use: the engine finds a port's device through it.
    if (!UseSettings(file, settings)) QTest::qFail("cannot write the port map", __FILE__, __LINE__);
    QDir(folder).mkpath("no-ttys");
    return {file, (folder + "/no-ttys").toStdString(), ""};
}

void SaveScreenshot(QWidget& widget, const QString& name) {
    QDir().mkpath(VEXLOR_SCREENSHOT_DIR);
    widget.show();
    QVERIFY2(QTest::qWaitForWindowExposed(&widget), qPrintable(name));
    const QString path = QString(VEXLOR_SCREENSHOT_DIR) + "/" + name + ".png";
    QVERIFY2(widget.grab().save(path), qPrintable(path));
}

void UseOwnRuntimeFolder(QTemporaryDir& folder) {
    QVERIFY(folder.isValid());
    qputenv("XDG_RUNTIME_DIR", folder.path().toUtf8());
}

const char* LanguageTag(int position) {
    switch (position) {
    case 1: return "cht";
    case 2: return "chs";
    default: return "eng";
    }
}
