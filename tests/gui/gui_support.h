// SPDX-License-Identifier: Apache-2.0
#pragma once
// What the window tests share: scripted message boxes, the language libraries, packed program
// files, port maps and screenshots.
#include <QApplication>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <string>

#include "app/common/resource_library.h"
#include "app/window/prompter.h"
#include "serial/serial_port_list.h"

// Answers questions as told and remembers every box that would have been shown.
class CScriptedPrompter : public CPrompter {
public:
    bool AskYesNo(QWidget* parent, const QString& text) override;
    void Inform(QWidget* parent, const QString& text) override;
    void Error(const QString& caption, const QString& text) override;

    bool answerYes = true;
    QStringList questions;
    QStringList informs;
    QStringList errors;  // "caption|text"
};

// The library of a language position, loaded from the test program's folder (build/bin).
std::unique_ptr<CResourceLibrary> LoadLanguage(int position);
// A library text as the windows show it.
QString Text(const CResourceLibrary& library, unsigned id);
QString TextWithModel(const CResourceLibrary& library, unsigned id);
QString TextWithNumber(const CResourceLibrary& library, unsigned id, int value);

// The folder the test programs and the tools were built into.
QString BinFolder();

// Writes a "program" with a firmware package of loadSize bytes (TestLoad's) appended into folder.
// Its path, or empty with a QTest failure.
QString MakePackedProgram(const QString& folder, int loadSize, const QString& version);

// A port map for the window: a settings file with the given entries (device -> COMn) and an
// empty system tty folder, so that only these ports are listed. The file also becomes the
// settings file in use (VEXLOR_REGISTRY), through which the engine finds the port's device.
SerialCommSources PortMap(const QString& folder, const std::map<std::string, std::string>& ports);

// Saves a picture of widget under build/screenshots/<name>.png (the widget is shown first).
void SaveScreenshot(QWidget& widget, const QString& name);

// Gives this test process a runtime folder of its own: the single-instance lock lives there.
void UseOwnRuntimeFolder(QTemporaryDir& folder);

// Language tags for screenshot names, by position.
const char* LanguageTag(int position);
