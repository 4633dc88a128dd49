// SPDX-License-Identifier: Apache-2.0
#include "app/window/library_text.h"

#include "app/common/format_text.h"
#include "app/common/resource_library.h"

QString LibText(const CResourceLibrary& library, unsigned id) { return QString::fromStdString(library.LoadString(id)); }

QString LibTextWith(const CResourceLibrary& library, unsigned id, const char* argument) {
    return QString::fromStdString(FormatText(library.LoadString(id), argument));
}

QString FormatWithNumber(const QString& format, long long value) {
    return QString::fromStdString(FormatNumber(format.toStdString(), value));
}
