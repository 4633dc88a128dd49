// SPDX-License-Identifier: Apache-2.0
#pragma once

// Where the operator shows its few fixed messages (a thread that cannot be started or stopped).
// The window shows a message box with an OK button; the terminal prints the text.
class IMessageSink {
public:
    virtual ~IMessageSink() = default;
    virtual void Show(const char* text) = 0;
};
