#include "app/modules/Snapshot.h"

#include "app/SaveFile.h"
#include "panorama/Tools.h"
#include "settings/Exchange.h"
#include "toolkit/Chart.h"
#include "toolkit/Dialogs.h"

#include <QAction>
#include <QBuffer>
#include <QDateTime>
#include <QImage>
#include <QPainter>

void SnapshotFeature::Attach(FeatureHost& host) {
    host_ = &host;
    ActionSaveSnapshot =
        host.AddItem({4, 1, QStringLiteral("Сохранить снимок…"), Qt::SHIFT | Qt::Key_F11, false, "ActionSaveSnapshot"});
    connect(ActionSaveSnapshot, &QAction::triggered, this, [this] { toolkit::guarded([this] { Save(); }); });
}

void SnapshotFeature::Save() {
    // The chart as it is shown now, before the dialog opens over it: what
    // the chart paints, its layers included, and the labels lying on it.
    const QImage picture = host_->Chart().grab().toImage();
    const QString file = AskSaveFileName(QStringLiteral("Сохранить снимок"), QStringLiteral("Снимок PNG (*.png)|*.png"),
                                         "Спектр", "png", LocalDateTime(QDateTime::currentDateTime()));
    if (file.isEmpty()) return;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG")) {
        toolkit::dialogs().message(QString::fromUtf8(settings::kMsgFileWriteError));
        return;
    }
    SaveFile(file, bytes);
}
