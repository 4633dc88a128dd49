// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QString>

class CResourceLibrary;

// Library texts as the windows show them.
QString LibText(const CResourceLibrary& library, unsigned id);
// Text id formatted with a text argument (the model code).
QString LibTextWith(const CResourceLibrary& library, unsigned id, const char* argument);
// A format (as loaded from the library) filled with an integer.
QString FormatWithNumber(const QString& format, long long value);
