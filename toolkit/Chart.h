// The spectrum chart: a plain widget with a fixed plot area, a bottom
// (frequency) and a left (level) axis, and any number of series drawn in the
// order they were added.
//
// Drawing is split in two layers. The static one (background, grid, axes,
// their labels, the title) is drawn once into a cached pixmap and drawn again
// only when an axis limit, the title or the size changes. The trace layer (the
// series and the marker) is painted over it, inside the plot area only: a
// change of a series repaints the band of the plot that the trace covered
// before and covers now, one rectangle. Labels lying on the chart can be
// painted from a cached picture of them (cacheLabel), so that such a band
// does not lay their text out again.
#pragma once

#include "common/PlotArea.h"
#include "toolkit/ChartAxis.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QPointF>
#include <QPolygonF>
#include <QRect>
#include <QStaticText>
#include <QString>
#include <QWidget>

#include <memory>
#include <utility>
#include <optional>
#include <vector>

class QLabel;
class QPainter;

namespace toolkit {

class Chart;

// One trace of the chart: its points in axis values, its colour and how it is
// drawn. A line joins the points with straight lines; an area fills the
// polygon under that line down to the plot's bottom, without an outline.
class ChartSeries {
public:
    enum class Style { Line, Area };

    Style style() const { return style_; }
    QColor colour() const { return colour_; }
    void setColour(const QColor& colour);
    bool isVisible() const { return visible_; }
    void setVisible(bool visible);

    // Replaces all points in one call. The points are kept in ascending x;
    // points with equal x keep the order in which they were given.
    void replace(const QList<QPointF>& points);
    // Replaces all points by `count` levels at x0, x0 + dx, ... (dx > 0).
    void setLevels(double x0, double dx, const float* levels, int count);
    void clear();
    qsizetype count() const { return points_.size(); }
    const QList<QPointF>& points() const { return points_; }
    QPointF at(qsizetype i) const { return points_.at(i); }

private:
    friend class Chart;
    ChartSeries(Chart* chart, Style style, const QColor& colour);
    // `whole`: every pixel it paints changes (a new colour), not just where
    // its line moves.
    void changed(bool whole = false);
    Chart* chart_;
    Style style_;
    QColor colour_;
    bool visible_ = true;
    QList<QPointF> points_;
    // An area's fill as last painted: its columns down to the plot's bottom.
    QRect drawnFill_;
};

// A thin vertical line across the plot at an x value, its label written
// along it from the plot's top.
struct ChartMark {
    double x = 0;
    QString label;
    bool operator==(const ChartMark&) const = default;
};

// Something a feature draws over the plot: painted by the chart in the pass
// that paints the series (after them, beneath the marker), on the screen and
// in paintChart alike, clipped to the plot, in chart pixels. A layer whose
// picture changed asks the chart to repaint the plot (updateTrace).
class ChartLayer {
public:
    virtual ~ChartLayer() = default;
    virtual void paintLayer(QPainter& painter, const Chart& chart) = 0;
};

// One point marked on the plot, its label beside it.
struct ChartMarker {
    QPointF value;
    QString label;
    bool operator==(const ChartMarker&) const = default;
};

class Chart : public QWidget {
    Q_OBJECT
public:
    // The plot area in chart pixels (common::PlotArea): x 33..672, y 35..394.
    static constexpr QRect kPlotRect{common::PlotArea::kLeft, common::PlotArea::kTop, common::PlotArea::kWidth,
                                     common::PlotArea::kHeight};

    explicit Chart(QWidget* parent = nullptr);
    ~Chart() override;

    ChartAxis& bottomAxis() { return bottom_; }
    ChartAxis& leftAxis() { return left_; }
    const ChartAxis& bottomAxis() const { return bottom_; }
    const ChartAxis& leftAxis() const { return left_; }

    // A new series, owned by the chart, drawn after those added before it.
    ChartSeries* addSeries(ChartSeries::Style style, const QColor& colour);
    int seriesCount() const { return static_cast<int>(series_.size()); }
    // Layers, painted in the order they were added; not owned.
    void addLayer(ChartLayer* layer);
    void removeLayer(ChartLayer* layer);
    ChartSeries* series(int i) const { return series_.at(static_cast<size_t>(i)).get(); }

    QString title() const { return title_; }
    void setTitle(const QString& title);
    QColor backgroundColour() const { return background_; }
    void setBackgroundColour(const QColor& colour);

    // Vertical marks, painted over the grid beneath the series (with the
    // static layer, as they change only with the axis or what they mark);
    // and one marked point, painted in the trace layer over the series.
    // Setting what is already shown repaints nothing.
    void setMarks(const QList<ChartMark>& marks, const QColor& colour);
    const QList<ChartMark>& marks() const { return marks_; }
    void setMarker(const std::optional<ChartMarker>& marker, const QColor& colour);
    const std::optional<ChartMarker>& marker() const { return marker_; }

    QRect plotRect() const { return kPlotRect; }
    // Axis values to chart pixels and back, by the plot area and the limits
    // (the mapping that the series are drawn with).
    common::PlotMapping mapping() const;
    QPointF mapToPosition(const QPointF& value) const;
    QPointF mapToValue(const QPointF& position) const;

    // A label lying on the chart, painted from a picture of it that is made
    // again only after its text, size or look changed (the first paint after
    // such a change is its own). It stays an ordinary visible child: moved,
    // read and announced as any label.
    void cacheLabel(QLabel* label);

    // Trace changes made while a batch is open are painted together, at
    // once, when the last open batch ends, instead of at the event loop's
    // next pass: a timer tick that replaces several series costs one
    // repaint and no posted event.
    class UpdateBatch {
    public:
        explicit UpdateBatch(Chart& chart);
        ~UpdateBatch();
        UpdateBatch(const UpdateBatch&) = delete;
        UpdateBatch& operator=(const UpdateBatch&) = delete;

    private:
        Chart& chart_;
    };

    // The static layers as they are cached (for checks and grabbing).
    const QPixmap& staticLayer();
    // Repaints the trace layer (the plot area) at the next paint, e.g. after
    // something drawn in paintTrace changed; series and marker changes do it
    // themselves, repainting only the part of the plot they touch.
    void updateTrace();
    // Paints the chart as it is shown (grid, axes, title, marks, series and
    // marker) onto any painter, in chart pixels (673 x 425): on a PDF or
    // printer device it stays vector, sharp at any resolution.
    void paintChart(QPainter& painter);

signals:
    // The pointer moved over the chart; x and y in chart pixels.
    void mouseMoved(Qt::KeyboardModifiers modifiers, int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Paints everything that changes per tick (the series, in order) inside
    // the plot area; the painter is already clipped to it.
    virtual void paintTrace(QPainter& painter);

private:
    friend class ChartSeries;
    struct CachedLabel {
        QPointer<QLabel> label;
        QImage picture;
        QString text;  // what the picture shows, at its size
        bool stale = true;
        bool queued = false;
    };
    CachedLabel* cachedLabel(QObject* object);
    void renderLabel(QLabel* label);
    void invalidateStatic();
    void paintStatic(QPainter& painter) const;
    void paintSeries(QPainter& painter, const ChartSeries& series);
    void fillUnder(QPainter& painter, const QPolygonF& line, const QColor& colour);
    void paintMarks(QPainter& painter) const;
    void paintMarker(QPainter& painter);
    // The pixels (within the plot) a series or the marker paints, with a
    // margin; empty when it paints nothing. For an area, `line` is what lies
    // between its line's highest and lowest point and `fill` its columns
    // down to the plot's bottom; below its lowest point an area paints the
    // same whatever its line, so a new line over the same columns changes
    // only `line` and the old line's rectangle.
    struct SeriesBounds {
        QRect line;
        QRect fill;
    };
    SeriesBounds seriesBounds(const ChartSeries& series) const;
    void seriesChanged(ChartSeries& series, bool whole);
    QRect markerBounds() const;
    QRect markerBox(int cx, int cy) const;
    // Repaints what the trace painted last and `now`, as one rectangle.
    void updateTraceBand(const QRect& now);

    ChartAxis bottom_;
    ChartAxis left_;
    std::vector<std::unique_ptr<ChartSeries>> series_;
    std::vector<ChartLayer*> layers_;
    QString title_;
    QColor background_{0, 0, 0};
    QPixmap static_;
    bool staticValid_ = false;
    // Reused from paint to paint: pixel positions of the series being
    // painted, and the column heights and rectangles of an area.
    QPolygonF scratch_;
    std::vector<int> heights_;
    std::vector<std::pair<int, int>> stack_;
    std::vector<QRect> rects_;
    QList<ChartMark> marks_;
    QColor marksColour_;
    std::optional<ChartMarker> marker_;
    QColor markerColour_;
    QStaticText markerText_;
    // What the trace layer covered when it was last painted (areas above
    // their lowest point only: see SeriesBounds), and the rectangle asked to
    // be repainted since: one growing rectangle, so that the paint's clip
    // stays a single rectangle (the fast path for lines).
    QRect drawn_;
    QRect pending_;
    int batches_ = 0;
    bool batchChanged_ = false;
    std::vector<CachedLabel> labels_;
    bool renderingLabel_ = false;
};

}  // namespace toolkit
