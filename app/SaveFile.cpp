#include "app/SaveFile.h"

#include "common/Files.h"
#include "settings/Exchange.h"
#include "toolkit/Dialogs.h"

#include <QDateTime>
#include <QFileInfo>

namespace {
constexpr const char* kAskReplace = "Файл уже существует. Заменить его?";
}  // namespace

bool MayReplace(const QString& file) {
    const QFileInfo info(file);
    if (!info.exists()) return true;
    if (info.isDir()) return false;
    return toolkit::dialogs().question(QString::fromUtf8(kAskReplace), QString::fromUtf8(settings::kAttention));
}

bool SaveFile(const QString& file, const QByteArray& bytes) {
    // A folder of that name is not asked about: the write below refuses it
    // and says so.
    if (!QFileInfo(file).isDir() && !MayReplace(file)) return false;
    // The logic takes file names as UTF-8 on every system.
    if (common::WriteWholeFile(file.toStdString(), bytes.constData(), static_cast<std::size_t>(bytes.size())))
        return true;
    toolkit::dialogs().message(QString::fromUtf8(settings::kMsgFileWriteError));
    return false;
}

panorama::DateTime LocalDateTime(const QDateTime& t) {
    return {t.date().year(), t.date().month(), t.date().day(), t.time().hour(), t.time().minute(), t.time().second()};
}

QString AskSaveFileName(const QString& title, const QString& filter, const char* base, const char* suffix,
                        const panorama::DateTime& when) {
    toolkit::FileDialogOptions options;
    options.title = title;
    options.filter = filter;
    options.defaultSuffix = QString::fromLatin1(suffix);
    options.defaultName = QString::fromStdString(panorama::DefaultFileName(base, when, suffix));
    return toolkit::dialogs().saveFile(options);
}
