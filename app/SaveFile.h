// Writing a file the user named: asked before an existing file is replaced,
// written whole through a temporary file, a failure told in a message box.
#pragma once

#include "panorama/Tools.h"

#include <QByteArray>
#include <QString>

class QDateTime;

// True when `file` may be written: it does not exist, or the user said to
// replace it. A folder of that name is no file to replace: false, unasked.
bool MayReplace(const QString& file);
// Asks, then writes; false when not written (declined or failed, the
// failure told).
bool SaveFile(const QString& file, const QByteArray& bytes);

// A local time as the default file names take it.
panorama::DateTime LocalDateTime(const QDateTime& t);

// The save dialog for one kind of file: `filter` as "Текст (*.ext)|*.ext",
// the name offered "<base> <date time>.<suffix>" of `when`. Empty when
// cancelled.
QString AskSaveFileName(const QString& title, const QString& filter, const char* base, const char* suffix,
                        const panorama::DateTime& when);
