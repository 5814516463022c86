// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

// The user manual to open: "User manual.html" in folder, or
// "Руководство пользователя.html" when language is "Русский" (any letter case)
// and that file exists.
QString UserManualFile(const QString &folder, const QString &language);
