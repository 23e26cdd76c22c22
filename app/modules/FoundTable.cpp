#include "app/modules/FoundTable.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

FoundTable::FoundTable(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    LabelNote = new QLabel(this);
    LabelNote->setWordWrap(true);
    layout->addWidget(LabelNote);
    Table = new QTableWidget(0, static_cast<int>(Headers({}).size()), this);
    Table->setAccessibleName(QStringLiteral("Найденные транспондеры"));
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->verticalHeader()->hide();
    Table->horizontalHeader()->setStretchLastSection(true);
    Table->setMaximumHeight(170);
    Table->setHorizontalHeaderLabels(Headers({}));
    Table->resizeColumnsToContents();
    layout->addWidget(Table);
}

QStringList FoundTable::Headers(const QString& unit) {
    const QString level = unit.isEmpty() ? QStringLiteral("Уровень") : QStringLiteral("Уровень, ") + unit;
    return {QStringLiteral("Частота, МГц"),
            QStringLiteral("ПЧ, МГц"),
            QStringLiteral("Ширина −3 дБ, МГц"),
            level,
            QStringLiteral("Над полом, дБ"),
            QStringLiteral("В таблице прибора"),
            QStringLiteral("В плане спутника")};
}

void FoundTable::Show(const QString& note, const QString& unit, const std::vector<QStringList>& rows) {
    if (note != note_) {
        note_ = note;
        LabelNote->setText(note);
        LabelNote->setVisible(!note.isEmpty());
    }
    if (unit != unit_) {
        unit_ = unit;
        Table->setHorizontalHeaderLabels(Headers(unit));
        Table->resizeColumnsToContents();  // the level's header names the unit
    }
    if (rows == rows_) return;
    rows_ = rows;
    Table->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < Table->rowCount(); ++r)
        for (int c = 0; c < Table->columnCount(); ++c) {
            const QString text = rows[r].value(c);
            QTableWidgetItem* item = Table->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                // The figures to the right, the names to the left.
                item->setTextAlignment(c < 5 ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
                Table->setItem(r, c, item);
            }
            if (item->text() != text) item->setText(text);
        }
}
