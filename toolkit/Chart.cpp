#include "toolkit/Chart.h"
#include "toolkit/Fonts.h"

#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QPointer>

#include <algorithm>
#include <cmath>

namespace toolkit {
namespace {

// Design sizes: 673 x 425 chart, 11 px axis labels, 15 px bold title.
constexpr int kWidth = 673;
constexpr int kHeight = 425;
constexpr int kTickLength = 5;     // tick marks and the label padding outside the plot area
constexpr int kTitleTop = 10;
const QColor kGridColour(128, 128, 128);

QFont ChartFont(int pixels, bool bold) {
    QFont f = WithProgramFamilies(QFont());
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

// Integer labels: the value truncated toward zero, as a "%i" format shows it.
QString TickLabel(double v) { return QString::number(static_cast<long long>(v)); }

}  // namespace

// ---- ChartSeries ----

ChartSeries::ChartSeries(Chart* chart, Style style, const QColor& colour)
    : chart_(chart), style_(style), colour_(colour) {}

void ChartSeries::setColour(const QColor& colour) {
    if (colour == colour_) return;
    colour_ = colour;
    changed(true);
}

void ChartSeries::setVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    changed();
}

void ChartSeries::replace(const QList<QPointF>& points) {
    points_ = points;
    // A point without a number for x sorts last, so that the order stays a
    // strict one; it is not drawn.
    const auto key = [](const QPointF& p) { return std::isnan(p.x()) ? HUGE_VAL : p.x(); };
    const auto byX = [&](const QPointF& a, const QPointF& b) { return key(a) < key(b); };
    if (!std::is_sorted(points_.cbegin(), points_.cend(), byX))
        std::stable_sort(points_.begin(), points_.end(), byX);
    changed();
}

void ChartSeries::setLevels(double x0, double dx, const float* levels, int count) {
    points_.resize(count);
    for (int i = 0; i < count; ++i) points_[i] = QPointF(x0 + i * dx, levels[i]);
    changed();
}

void ChartSeries::clear() {
    if (points_.isEmpty()) return;
    points_.clear();
    changed();
}

void ChartSeries::changed(bool whole) { chart_->seriesChanged(*this, whole); }

// ---- Chart ----

Chart::Chart(QWidget* parent) : QWidget(parent), bottom_(100, 228), left_(0, 255) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    resize(kWidth, kHeight);
    bottom_.setOnChange([this] { invalidateStatic(); });
    left_.setOnChange([this] { invalidateStatic(); });
}

Chart::~Chart() {
    // Layers that are children (deleted after this chart's members) are
    // painted no more.
    layers_.clear();
    // The labels are children, deleted after this chart's members are gone:
    // their events must not reach it then.
    for (const CachedLabel& c : labels_)
        if (c.label) c.label->removeEventFilter(this);
}

ChartSeries* Chart::addSeries(ChartSeries::Style style, const QColor& colour) {
    series_.push_back(std::unique_ptr<ChartSeries>(new ChartSeries(this, style, colour)));
    return series_.back().get();
}

void Chart::setTitle(const QString& title) {
    if (title == title_) return;
    title_ = title;
    invalidateStatic();
}

void Chart::setBackgroundColour(const QColor& colour) {
    if (colour == background_) return;
    background_ = colour;
    invalidateStatic();
}

common::PlotMapping Chart::mapping() const {
    return {bottom_.minimum(), bottom_.maximum(), left_.minimum(), left_.maximum()};
}

QPointF Chart::mapToPosition(const QPointF& value) const {
    const common::PlotMapping map = mapping();
    return {map.X(value.x()), map.Y(value.y())};
}

QPointF Chart::mapToValue(const QPointF& position) const {
    const common::PlotMapping map = mapping();
    return {map.ValueAtX(position.x()), map.ValueAtY(position.y())};
}

// The marks change only with the axis, the table or the polarisation: they
// are drawn into the cached static layer, so that a tick repaints none of
// them.
void Chart::setMarks(const QList<ChartMark>& marks, const QColor& colour) {
    if (marks == marks_ && (marks.isEmpty() || colour == marksColour_)) return;
    marks_ = marks;
    marksColour_ = colour;
    invalidateStatic();
}

void Chart::setMarker(const std::optional<ChartMarker>& marker, const QColor& colour) {
    if (marker == marker_ && (!marker || colour == markerColour_)) return;
    if (marker && (!marker_ || marker->label != marker_->label)) {
        // Laid out once for each new text, not on every repaint.
        markerText_.setText(marker->label);
        markerText_.prepare(QTransform(), ChartFont(11, true));
    }
    marker_ = marker;
    markerColour_ = colour;
    updateTraceBand(markerBounds());
}

void Chart::invalidateStatic() {
    staticValid_ = false;
    update();
}

void Chart::updateTrace() { update(kPlotRect); }

// A tick changes a few series and the marker; the plot is repainted only
// where the trace was and where it now is. Outside that rectangle the screen
// shows the cached layer alone, before and after, so nothing stale stays.
// The rectangle only grows until the paint, so that the widget's dirty
// region stays the one rectangle asked for last.
void Chart::updateTraceBand(const QRect& now) {
    const QRect band = (pending_ | drawn_ | now) & kPlotRect;
    if (band.isEmpty()) return;
    pending_ = band;
    if (batches_ > 0) batchChanged_ = true;
    else update(band);
}

Chart::UpdateBatch::UpdateBatch(Chart& chart) : chart_(chart) { ++chart_.batches_; }

Chart::UpdateBatch::~UpdateBatch() {
    if (--chart_.batches_ > 0 || !chart_.batchChanged_) return;
    chart_.batchChanged_ = false;
    // Painted and shown now; a hidden chart paints it when it is shown.
    if (!chart_.pending_.isEmpty()) chart_.repaint(chart_.pending_);
}

namespace {
// Aliased one-pixel lines and points light the pixel their position falls
// in or a neighbour of it; two pixels of margin cover that with room.
constexpr int kBoundsMargin = 2;
}  // namespace

void Chart::seriesChanged(ChartSeries& s, bool whole) {
    const SeriesBounds now = seriesBounds(s);
    const QRect& was = s.drawnFill_;
    const bool sameColumns = now.fill.isEmpty() == was.isEmpty() &&
                             (now.fill.isEmpty() || (now.fill.left() == was.left() && now.fill.right() == was.right()));
    updateTraceBand(whole || !sameColumns ? now.line | now.fill | was : now.line);
}

Chart::SeriesBounds Chart::seriesBounds(const ChartSeries& s) const {
    if (!s.isVisible() || s.points().isEmpty()) return {};
    const common::PlotMapping map = mapping();
    double minX = HUGE_VAL, maxX = -HUGE_VAL, minY = HUGE_VAL, maxY = -HUGE_VAL;
    for (const QPointF& v : s.points()) {
        const double x = map.X(v.x()), y = map.Y(v.y());
        if (std::isnan(x) || std::isnan(y)) continue;
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    if (!(minX <= maxX)) return {};
    // Held to the plot (with the margin) before turning into whole pixels.
    const auto px = [](double v, int lo, int hi) {
        return static_cast<int>(std::floor(std::clamp(v, double(lo), double(hi))));
    };
    const QRect plot = kPlotRect.adjusted(-kBoundsMargin, -kBoundsMargin, kBoundsMargin, kBoundsMargin);
    const int left = px(minX, plot.left(), plot.right()) - kBoundsMargin;
    const int right = px(maxX, plot.left(), plot.right()) + kBoundsMargin;
    const QPoint tl(left, px(minY, plot.top(), plot.bottom()) - kBoundsMargin);
    const QPoint br(right, px(maxY, plot.top(), plot.bottom()) + kBoundsMargin);
    SeriesBounds b{QRect(tl, br) & kPlotRect, {}};
    // An area is filled down to the plot's bottom, across the columns
    // between its first and last point.
    if (s.style() == ChartSeries::Style::Area) b.fill = QRect(tl, QPoint(right, kPlotRect.bottom())) & kPlotRect;
    return b;
}

QRect Chart::markerBox(int cx, int cy) const {
    const QSizeF text = markerText_.size();
    const int w = static_cast<int>(std::ceil(text.width())) + 6, h = static_cast<int>(std::ceil(text.height())) + 2;
    QRect box(cx - w / 2, cy - 8 - h, w, h);
    if (box.top() < kPlotRect.top()) box.moveTop(cy + 8);
    if (box.bottom() > kPlotRect.bottom()) box.moveBottom(kPlotRect.bottom());
    if (box.left() < kPlotRect.left()) box.moveLeft(kPlotRect.left());
    if (box.right() > kPlotRect.right()) box.moveRight(kPlotRect.right());
    return box;
}

QRect Chart::markerBounds() const {
    if (!marker_) return {};
    const QPointF at = mapToPosition(marker_->value);
    if (std::isnan(at.x()) || std::isnan(at.y())) return kPlotRect;  // let the painter decide
    const int cx = static_cast<int>(std::lround(std::clamp(at.x(), -1e6, 1e6)));
    const int cy = static_cast<int>(std::lround(std::clamp(at.y(), -1e6, 1e6)));
    QRect r = QRect(cx - 4, cy - 4, 9, 9) & kPlotRect;
    if (!marker_->label.isEmpty()) r |= markerBox(cx, cy);
    // The label's glyphs may reach a little past its box.
    return r.adjusted(-3, -3, 3, 3) & kPlotRect;
}

const QPixmap& Chart::staticLayer() {
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * dpr).toSize();
    if (!staticValid_ || static_.size() != pixels || static_.devicePixelRatio() != dpr) {
        // Drawn again into the same pixels while the size stays: a new
        // megabyte for every axis change would come and go through the
        // allocator, which keeps such blocks once it has seen a few.
        if (static_.size() != pixels) static_ = QPixmap(pixels);
        static_.setDevicePixelRatio(dpr);
        QPainter p(&static_);
        paintStatic(p);
        staticValid_ = true;
    }
    return static_;
}

void Chart::paintStatic(QPainter& p) const {
    p.fillRect(QRect(QPoint(0, 0), size()), background_);
    const QRectF plot(kPlotRect);
    const double left = plot.left(), right = plot.left() + plot.width();
    const double top = plot.top(), bottom = plot.top() + plot.height();

    p.setFont(ChartFont(11, false));
    const QFontMetrics fm(p.font());
    const QFontMetricsF fmF(p.font());

    const QPen gridDash(kGridColour, 1, Qt::DashLine);
    const QPen gridDot(kGridColour, 1, Qt::DotLine);
    const QPen axisLine(Qt::white, 1);
    const QPen axisDot(Qt::white, 1, Qt::DotLine);
    const std::vector<double> xTicks = bottom_.ticks(), yTicks = left_.ticks();

    // The grid first, so that the axes lie over it where a tick falls on an
    // end of the range: dashed for the bottom axis, dotted for the left.
    p.setPen(gridDash);
    for (double v : xTicks) {
        const double x = mapToPosition({v, 0}).x();
        p.drawLine(QLineF(x, top, x, bottom));
    }
    p.setPen(gridDot);
    for (double v : yTicks) {
        const double y = mapToPosition({0, v}).y();
        p.drawLine(QLineF(left, y, right, y));
    }

    // Bottom axis: white tick marks, labels centred under them, starting at a
    // whole pixel; the axis line just below the plot's last row.
    for (double v : xTicks) {
        const double x = mapToPosition({v, 0}).x();
        p.setPen(axisLine);
        p.drawLine(QLineF(x, bottom, x, bottom + kTickLength - 1));
        const QString text = TickLabel(v);
        const double lx = std::round(x - fmF.horizontalAdvance(text) / 2.0);
        p.drawText(QPointF(lx, bottom + kTickLength + fm.ascent()), text);
    }
    p.setPen(axisLine);
    p.drawLine(QLineF(left - 1, bottom, right, bottom));

    // Left axis: dotted tick marks and axis line (left of the plot's first
    // column), labels right-aligned beside the ticks and centred on them.
    for (double v : yTicks) {
        const double y = mapToPosition({0, v}).y();
        p.setPen(axisDot);
        p.drawLine(QLineF(left - kTickLength, y, left - 1, y));
        const QString text = TickLabel(v);
        const int w = fm.horizontalAdvance(text);
        const double t = std::floor(y - fm.height() / 2.0);
        p.setPen(axisLine);
        p.drawText(QPointF(left - kTickLength - 1 - w, t + fm.ascent()), text);
    }
    p.setPen(axisDot);
    p.drawLine(QLineF(left - 1, top, left - 1, bottom));

    if (!marks_.isEmpty()) paintMarks(p);

    // Title, centred over the chart.
    if (!title_.isEmpty()) {
        p.setFont(ChartFont(15, true));
        const QFontMetricsF tm(p.font());
        p.setPen(Qt::white);
        const double x = (width() - tm.horizontalAdvance(title_)) / 2.0;
        p.drawText(QPointF(x, kTitleTop + tm.ascent()), title_);
    }
}

void Chart::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect r = event->rect();
    const QPixmap& layer = staticLayer();
    const qreal dpr = layer.devicePixelRatio();
    p.drawPixmap(QRectF(r), layer, QRectF(QPointF(r.topLeft()) * dpr, QSizeF(r.size()) * dpr));
    pending_ = QRect();
    const QRect clip = r & kPlotRect;
    if (clip.isEmpty()) return;
    // The whole trace is now what is on screen.
    drawn_ = markerBounds();
    for (const auto& s : series_) {
        const SeriesBounds b = seriesBounds(*s);
        drawn_ |= b.line;
        s->drawnFill_ = b.fill;
    }
    p.setClipRect(clip);
    paintTrace(p);
}

void Chart::paintChart(QPainter& p) {
    p.save();
    p.setClipRect(QRect(QPoint(0, 0), size()), Qt::IntersectClip);
    paintStatic(p);
    p.setClipRect(kPlotRect, Qt::IntersectClip);
    paintTrace(p);
    p.restore();
}

void Chart::addLayer(ChartLayer* layer) {
    if (std::find(layers_.begin(), layers_.end(), layer) != layers_.end()) return;
    layers_.push_back(layer);
    updateTrace();
}

void Chart::removeLayer(ChartLayer* layer) {
    if (std::erase(layers_, layer)) updateTrace();
}

void Chart::paintTrace(QPainter& p) {
    for (const auto& s : series_)
        if (s->isVisible() && !s->points().isEmpty()) paintSeries(p, *s);
    for (ChartLayer* layer : layers_) {
        p.save();
        layer->paintLayer(p, *this);
        p.restore();
    }
    if (marker_) paintMarker(p);
}

// Each mark a one-pixel line from the plot's top to its bottom, over the
// grid, its label turned to run down beside it, so that marks a few pixels
// apart keep readable labels.
void Chart::paintMarks(QPainter& p) const {
    p.save();
    p.setClipRect(kPlotRect);
    p.setFont(ChartFont(11, false));
    const QFontMetrics fm = p.fontMetrics();
    p.setPen(QPen(marksColour_, 1));
    const int top = kPlotRect.top(), bottom = kPlotRect.bottom();
    for (const ChartMark& m : marks_) {
        const int x = static_cast<int>(std::lround(mapToPosition({m.x, 0}).x()));
        p.drawLine(x, top, x, bottom);
        if (m.label.isEmpty()) continue;
        p.save();
        p.translate(x + 2 + fm.descent(), top + 4);
        p.rotate(90);
        p.drawText(QPointF(0, 0), m.label);
        p.restore();
    }
    p.restore();
}

// The point in a small square; its label on a dark box above it (below it
// near the plot's top), kept inside the plot. Solid fills and one-pixel
// lines only, which the raster engine paints fastest: the marker is
// repainted on every tick.
void Chart::paintMarker(QPainter& p) {
    const QPointF at = mapToPosition(marker_->value);
    const int cx = static_cast<int>(std::lround(std::clamp(at.x(), -1e6, 1e6)));
    const int cy = static_cast<int>(std::lround(std::clamp(at.y(), -1e6, 1e6)));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(markerColour_, 1));
    p.drawRect(cx - 4, cy - 4, 8, 8);
    p.drawRect(cx - 3, cy - 3, 6, 6);
    if (marker_->label.isEmpty()) return;
    const QRect box = markerBox(cx, cy);
    p.fillRect(box, QColor(32, 32, 32));
    p.setFont(ChartFont(11, true));
    p.drawStaticText(QPointF(box.left() + 3, box.top() + 1), markerText_);
}

// Series are drawn without antialiasing, from the points' exact positions: a
// line as separate segments, each lit to both its ends so that every vertex
// (a peak too) shows; an area as the region under the line, down to the
// plot's bottom whatever the level.
void Chart::paintSeries(QPainter& p, const ChartSeries& s) {
    const QList<QPointF>& pts = s.points();
    const qsizetype n = pts.size();
    const common::PlotMapping plot = mapping();
    // Far outside values are held to a range the rasteriser handles; the clip
    // to the plot area cuts them anyway.
    const auto map = [&](const QPointF& v) {
        return QPointF(std::clamp(plot.X(v.x()), -1e6, 1e6), std::clamp(plot.Y(v.y()), -1e6, 1e6));
    };
    if (s.style() == ChartSeries::Style::Area) {
        scratch_.resize(n);
        for (qsizetype i = 0; i < n; ++i) scratch_[i] = map(pts[i]);
        fillUnder(p, scratch_, s.colour());
        return;
    }
    p.setPen(QPen(s.colour(), 1));
    p.setBrush(Qt::NoBrush);
    if (n == 1) {
        const QPointF only = map(pts[0]);
        if (!std::isnan(only.x()) && !std::isnan(only.y())) p.drawPoint(only);
        return;
    }
    scratch_.resize(2 * (n - 1));
    // A point without a number breaks the line.
    const auto valid = [](const QPointF& q) { return !std::isnan(q.x()) && !std::isnan(q.y()); };
    int segments = 0;
    QPointF previous = map(pts[0]);
    for (qsizetype i = 1; i < n; ++i) {
        const QPointF current = map(pts[i]);
        if (valid(previous) && valid(current)) {
            scratch_[2 * segments] = previous;
            scratch_[2 * segments + 1] = current;
            ++segments;
        }
        previous = current;
    }
    if (segments > 0) p.drawLines(scratch_.constData(), segments);
}

// Fills the region under a polyline (x ascending) down to the plot's bottom,
// as an aliased fill of that polygon would: a pixel is filled when its centre
// lies inside. Each column's top is found where the line crosses the column's
// centre; the skyline that results is cut into as few rectangles as there
// are rises in it, so that the fill costs about what its area does.
void Chart::fillUnder(QPainter& p, const QPolygonF& line, const QColor& colour) {
    const qsizetype n = line.size();
    if (n < 2) return;
    const int plotLeft = kPlotRect.left(), plotTop = kPlotRect.top();
    const int plotBottom = kPlotRect.top() + kPlotRect.height();  // exclusive
    const int columns = kPlotRect.width();
    heights_.assign(static_cast<size_t>(columns) + 1, 0);
    qsizetype seg = 0;
    for (int c = 0; c < columns; ++c) {
        const double cx = plotLeft + c + 0.5;
        if (cx < line[0].x() || cx >= line[n - 1].x()) continue;
        while (line[seg + 1].x() <= cx) ++seg;
        const QPointF a = line[seg], b = line[seg + 1];
        const double y = a.y() + (cx - a.x()) * (b.y() - a.y()) / (b.x() - a.x());
        if (std::isnan(y)) continue;  // a point without a number: nothing under it
        // The first row whose centre lies strictly below the line.
        const double top = std::clamp(std::floor(y - 0.5) + 1, double(plotTop), double(plotBottom));
        heights_[static_cast<size_t>(c)] = plotBottom - static_cast<int>(top);
    }
    // Histogram decomposition: a stack of open runs with rising heights; a
    // run is closed (and drawn above the height it stands on) where a lower
    // column ends it. The extra zero column closes everything.
    rects_.clear();
    stack_.clear();
    for (int c = 0; c <= columns; ++c) {
        const int h = heights_[static_cast<size_t>(c)];
        int start = c;
        while (!stack_.empty() && stack_.back().second > h) {
            const auto [runStart, runHeight] = stack_.back();
            stack_.pop_back();
            const int below = std::max(h, stack_.empty() ? 0 : stack_.back().second);
            rects_.push_back(QRect(plotLeft + runStart, plotBottom - runHeight, c - runStart, runHeight - below));
            start = runStart;
        }
        if (h > 0 && (stack_.empty() || stack_.back().second < h)) stack_.emplace_back(start, h);
    }
    if (rects_.empty()) return;
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRects(rects_.data(), static_cast<int>(rects_.size()));
}

// ---- Labels lying on the chart ----

// A label over the plot is repainted with every band of the trace beneath
// it. Its own paint lays its text out each time; the picture is laid out
// once. Pictures are drawn with its own painting, over a clear background,
// and drawn back over the chart as its own painting would be.
void Chart::cacheLabel(QLabel* label) {
    if (cachedLabel(label)) return;
    std::erase_if(labels_, [](const CachedLabel& c) { return c.label.isNull(); });
    labels_.push_back(CachedLabel{label, {}, {}, true, false});
    label->installEventFilter(this);
}

Chart::CachedLabel* Chart::cachedLabel(QObject* object) {
    for (CachedLabel& c : labels_)
        if (c.label == object) return &c;
    return nullptr;
}

bool Chart::eventFilter(QObject* watched, QEvent* event) {
    CachedLabel* c = renderingLabel_ ? nullptr : cachedLabel(watched);
    if (!c) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint: {
        QLabel* label = c->label;
        const qreal dpr = label->devicePixelRatioF();
        if (!c->stale && c->text == label->text() && c->picture.size() == (QSizeF(label->size()) * dpr).toSize() &&
            c->picture.devicePixelRatio() == dpr) {
            QPainter p(label);
            p.drawImage(QPointF(0, 0), c->picture);
            return true;
        }
        // Painted by itself this time; its picture is made once this paint
        // is over (a widget is not rendered inside its own paint).
        if (!c->queued) {
            c->queued = true;
            QMetaObject::invokeMethod(this, [this, label = QPointer<QLabel>(label)] {
                if (label) renderLabel(label);
            }, Qt::QueuedConnection);
        }
        break;
    }
    case QEvent::StyleChange:
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::EnabledChange:
    case QEvent::Polish:
        c->stale = true;
        break;
    default: break;
    }
    return QWidget::eventFilter(watched, event);
}

void Chart::renderLabel(QLabel* label) {
    CachedLabel* c = cachedLabel(label);
    if (!c) return;
    c->queued = false;
    const qreal dpr = label->devicePixelRatioF();
    QImage picture((QSizeF(label->size()) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull()) return;
    picture.setDevicePixelRatio(dpr);
    picture.fill(Qt::transparent);
    renderingLabel_ = true;
    label->render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
    renderingLabel_ = false;
    c->picture = std::move(picture);
    c->text = label->text();
    c->stale = false;
}

void Chart::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    staticValid_ = false;
}

void Chart::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    emit mouseMoved(event->modifiers(), pos.x(), pos.y());
    QWidget::mouseMoveEvent(event);
}

}  // namespace toolkit
