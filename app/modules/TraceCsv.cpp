#include "app/modules/TraceCsv.h"

#include "app/SaveFile.h"
#include "live/Pipeline.h"
#include "toolkit/Dialogs.h"

#include <QAction>
#include <QDateTime>

namespace {
constexpr const char* kMsgNoTrace = "Нет трассы для сохранения: включите PANO";
}  // namespace

void TraceCsvFeature::Attach(FeatureHost& host) {
    host_ = &host;
    ActionSaveTrace =
        host.AddItem({4, 2, QStringLiteral("Сохранить трассу…"), Qt::SHIFT | Qt::Key_F12, false, "ActionSaveTrace"});
    connect(ActionSaveTrace, &QAction::triggered, this, [this] { toolkit::guarded([this] { Save(); }); });
}

void TraceCsvFeature::Save() {
    const panorama::TraceTools& traces = host_->Pipeline().Traces();
    if (!traces.shown().valid) {
        toolkit::dialogs().message(QString::fromUtf8(kMsgNoTrace));
        return;
    }
    // The trace as shown now, whatever the ticks bring while the dialog is open.
    const panorama::TraceTools::Shown shown = traces.shown();
    panorama::TraceHeader header;
    header.when = LocalDateTime(QDateTime::currentDateTime());
    header.loCaption = host_->Window().LoCaption(shown.meaning.loIndex);
    const QString file = AskSaveFileName(QStringLiteral("Сохранить трассу"), QStringLiteral("Таблица CSV (*.csv)|*.csv"),
                                         "Спектр", "csv", header.when);
    if (file.isEmpty()) return;
    const std::string text = panorama::TraceCsv(shown, header);
    SaveFile(file, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
}
