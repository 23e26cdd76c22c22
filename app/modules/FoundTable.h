// The analysis window's table of the transponders found in the live sweep,
// each with the known transponder it most likely is. Filled by the panorama
// tools from the tick; it only shows texts, and changes its cells only when
// they differ from those shown.
#pragma once

#include <QStringList>
#include <QWidget>

#include <vector>

class QLabel;
class QTableWidget;

class FoundTable : public QWidget {
    Q_OBJECT
public:
    explicit FoundTable(QWidget* parent = nullptr);

    // The columns, in order.
    static QStringList Headers(const QString& unit);

    QLabel* LabelNote;    // why the table is empty, or whose plan it matches against
    QTableWidget* Table;  // "Найденные транспондеры"

    // Rows of texts (one a column) and the note above them.
    void Show(const QString& note, const QString& unit, const std::vector<QStringList>& rows);
    const std::vector<QStringList>& Rows() const { return rows_; }

private:
    QString note_, unit_;
    std::vector<QStringList> rows_;
};
