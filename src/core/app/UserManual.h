#pragma once
#include <QString>

// The user manual to open: "User manual.doc" in folder, or
// "Руководство пользователя.doc" when language is "Русский" (any letter case)
// and that file exists.
QString UserManualFile(const QString &folder, const QString &language);
