// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QString>

class QWidget;

// The message boxes the windows show. The application uses CMessageBoxPrompter; tests put in a
// scripted one, so that a question is answered without a modal box.
class CPrompter {
public:
    virtual ~CPrompter() = default;
    // A question with Yes and No and a warning icon. True only for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& text) = 0;
    // A plain message with an OK button.
    virtual void Inform(QWidget* parent, const QString& text) = 0;
    // An error without owner window, with a stop icon and an OK button.
    virtual void Error(const QString& caption, const QString& text) = 0;
};

class CMessageBoxPrompter : public CPrompter {
public:
    bool AskYesNo(QWidget* parent, const QString& text) override;
    void Inform(QWidget* parent, const QString& text) override;
    void Error(const QString& caption, const QString& text) override;
};
