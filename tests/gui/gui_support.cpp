// SPDX-License-Identifier: Apache-2.0
#include "gui_support.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include "app/common/format_text.h"
#include "app/common/language_choice.h"
#include "app/program_mark.h"
#include "lang/string_ids.h"
#include "platform/program_path.h"

bool CScriptedPrompter::AskYesNo(QWidget*, const QString& text) {
    questions << text;
    if (onQuestion) onQuestion();
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

QString MakePackedProgram(const QString& folder, int loadSize, const QString& version, QString* loadPath) {
    // The "program" is a stand-in image: the package checks only need it unaltered, and
    // vexlor-pack takes it for a vexlor program by the mark at its start. It stays 48 KiB long.
    const QString image = folder + "/image.bin";
    const QString load = folder + "/load.bin";
    const QString out = folder + "/vexlor-packed";
    QByteArray imageBytes(48 * 1024, '\0');
    for (int i = 0; i < imageBytes.size(); ++i) imageBytes[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    const QByteArray mark = QByteArray::fromStdString(ProgramMark());
    imageBytes.replace(0, mark.size(), mark);
    QByteArray loadBytes(loadSize, '\0');
    for (int i = 0; i < loadBytes.size(); ++i) loadBytes[i] = static_cast<char>((i * 31 + i / 251) & 0xFF);
    QFile imageFile(image), loadFile(load);
    if (!imageFile.open(QIODevice::WriteOnly) || imageFile.write(imageBytes) != imageBytes.size() ||
        !loadFile.open(QIODevice::WriteOnly) || loadFile.write(loadBytes) != loadBytes.size()) {
        QTest::qFail("cannot write the image or the load", __FILE__, __LINE__);
        return {};
    }
    imageFile.close();
    loadFile.close();
    QProcess pack;
    pack.start(BinFolder() + "vexlor-pack",
               {"--program", image, "--load", load, "--version", version, "--out", out});
    if (!pack.waitForFinished(60000) || pack.exitStatus() != QProcess::NormalExit || pack.exitCode() != 0) {
        QTest::qFail(qPrintable("vexlor-pack failed: " + pack.readAllStandardError()), __FILE__, __LINE__);
        return {};
    }
    if (loadPath) *loadPath = load;
    return out;
}

SerialCommSources PortMap(const QString& folder, const std::map<std::string, std::string>& ports) {
    QString text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n";
    for (const auto& [device, port] : ports) {
        text += QString("\"%1\"=\"%2\"\r\n").arg(QString::fromStdString(device), QString::fromStdString(port));
    }
    const QString settings = folder + "/ports.reg";
    QFile file(settings);
    if (file.open(QIODevice::WriteOnly)) file.write(text.toUtf8());
    QDir(folder).mkpath("no-ttys");
    // The engine finds a port's device through the settings file in use.
    qputenv("VEXLOR_REGISTRY", settings.toUtf8());
    SerialCommSources sources;
    sources.settingsFile = settings.toStdString();
    sources.ttyClassDir = (folder + "/no-ttys").toStdString();
    return sources;
}

CSilentPort::CSilentPort() {
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) qFatal("cannot open a pseudo-terminal");
    char name[128] = {};
    if (ptsname_r(m_master, name, sizeof name) != 0) qFatal("no pseudo-terminal name");
    m_path = name;
}

CSilentPort::~CSilentPort() {
    if (m_master >= 0) ::close(m_master);
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
