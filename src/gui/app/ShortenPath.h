// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

class QFontMetrics;

// A file path shortened to fit maxWidth pixels in metrics for a menu caption:
// inner folder names are replaced by "..." from the left, keeping the root
// and the file name ("/home/.../scans/run.vtp"); when even "/.../name" is too
// wide, the file name itself is elided at its end.
QString ShortenPath(const QString &path, const QFontMetrics &metrics, int maxWidth);
