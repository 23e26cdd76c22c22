// A waterfall: one row of colour per sweep, the newest on top, on a
// frequency axis laid out like the chart's (the same plot left edge and
// width, ticks where the chart puts them), a legend of the colour map, lines
// across where the sweeps came to mean something else, and a scroll bar to
// go back through the rows kept.
//
// The rows themselves live with the caller: the waterfall asks for a row by
// its serial number (rising by one per row) when it draws it. A new row
// costs drawing one line: the picture is a ring of lines whose top moves up
// by one, painted in two pieces. It is taken in at once but shown at most
// every kRepaintMs, one repaint for all the rows since; a row taken in while
// the waterfall is hidden costs its line alone.
#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QScrollBar;
class QTimer;

namespace toolkit {

class Waterfall : public QWidget {
    Q_OBJECT
public:
    // One row's levels, at frequencies x0, x0 + dx, ..., and the level
    // range they were shown in (none: the waterfall's own), so that a row
    // keeps its colours when the unit or the range changes later.
    struct Row {
        double x0 = 0, dx = 1;
        const float* levels = nullptr;
        int count = 0;
        double levelMin = 0, levelMax = 0;
    };
    using RowSource = std::function<bool(std::uint64_t serial, Row& row)>;

    // Where the rows are drawn: the chart's plot left edge and width, below
    // a band for the frequency labels; the legend on the right.
    static constexpr int kPlotLeft = 33, kPlotWidth = 640, kHeader = 18, kLegendWidth = 78;
    // The least time between two repaints for new rows. At the meter's 40
    // sweeps a second, every fourth sweep repaints: ten pictures a second,
    // which the eye follows as a steady fall, at a quarter of the repaints
    // (and at the rate the analysis window refreshes its level strip). Not
    // 100: a tick that comes a little early would push the repaint to the
    // fifth sweep.
    static constexpr int kRepaintMs = 90;
    // The least time between two settings of the scroll bar for new rows.
    static constexpr int kBarMs = 1000;

    explicit Waterfall(QWidget* parent = nullptr);

    void setRowSource(RowSource source) { source_ = std::move(source); }
    // The frequency axis (as the chart's: its limits and the most intervals
    // its ticks may have) and the level range the colours span.
    void setFrequencyAxis(double min, double max, int maxIntervals);
    void setLevelRange(double min, double max, const QString& unit);
    // How many rows the caller keeps (the oldest one can scroll back to).
    void setKeptRows(int rows);

    // A new newest row; serials rise by one.
    void addRow(std::uint64_t serial);
    // A line above row `serial` labelled with what changed there.
    void addSeparator(std::uint64_t serial, const QString& text);
    // No rows, no lines.
    void clear();
    // Rows up to `newest`, `count` of them, as after adding them one by one
    // (separators are added after); draws them at once.
    void setRows(std::uint64_t newest, std::uint64_t count);
    // Draws every visible row again from the source.
    void redraw();

    std::optional<std::uint64_t> newest() const { return newest_; }
    int scrollBack() const { return back_; }
    void setScrollBack(int rows);
    // The row under widget y and the frequency under widget x.
    std::optional<std::uint64_t> serialAt(int y) const;
    double frequencyAt(int x) const;
    int visibleRows() const { return image_.height(); }
    // The rows as they are shown, newest on top (the ring straightened; the
    // rows taken in but not yet repainted included).
    QImage picture() const;

    // The colour map: 0 (lowest) .. 1 (highest), a perceptual map that
    // keeps its order in grey when printed.
    static QRgb MapColour(double t);

signals:
    void hovered(std::uint64_t serial, double frequency);
    void clicked(double frequency);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int lineOf(int row) const;
    void drawRow(int line, std::uint64_t serial);
    void rowsTakenIn();
    void showRows();
    void barFollowsRows();
    bool updateScrollBar(bool onlyIfTheHandleMoves = false);
    QRect barHandle(int most, int value) const;
    QRect plotRect() const;
    const QPixmap& frameLayer();

    RowSource source_;
    QImage image_;
    int top_ = 0;  // the line of image_ that shows the top row
    QTimer* repaintTimer_;
    QElapsedTimer lastRepaint_;  // since rows were last repainted
    bool rowsPending_ = false;   // rows taken in, not yet repainted
    QTimer* barTimer_;
    QElapsedTimer barSet_;       // since the bar was last set for rows
    bool barPending_ = false;    // rows taken in since
    std::optional<std::uint64_t> newest_;
    std::uint64_t count_ = 0;  // rows added since the last clear
    int back_ = 0;             // rows scrolled back from the newest
    int kept_ = 0;
    double fMin_ = 0, fMax_ = 1;
    int maxIntervals_ = 12;
    double lMin_ = 0, lMax_ = 1;
    QString unit_;
    struct Separator {
        std::uint64_t serial;
        QString text;
    };
    QList<Separator> separators_;
    QScrollBar* bar_;
    bool settingBar_ = false;
    QPixmap frame_;  // around the plot: the frequency labels and the legend
    bool frameValid_ = false;
    // The sample each column shows (-1: none) for the axis and row layout
    // (fMin_, fMax_, x0, dx, count) they were worked out for.
    std::array<int, kPlotWidth> columns_{};
    std::array<double, 5> columnsFor_{};
};

// A strip chart of one frequency's level over the last seconds, the highest
// level reached marked.
class LevelStrip : public QWidget {
    Q_OBJECT
public:
    explicit LevelStrip(QWidget* parent = nullptr);
    // Points: x seconds before now (0 .. span, newest 0), y level.
    void setPoints(const QList<QPointF>& points, double spanSeconds);
    void setLevelRange(double min, double max, const QString& unit);
    void setTitle(const QString& title);
    // The highest point shown, if any.
    std::optional<QPointF> highest() const { return highest_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<QPointF> points_;
    std::optional<QPointF> highest_;
    double span_ = 60, lMin_ = 0, lMax_ = 1;
    QString unit_, title_;
};

}  // namespace toolkit
