// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QIcon>

// The program's own icon (resource 128), in every size it is drawn at.
QIcon ProgramIcon();
