#include "toolkit/Waterfall.h"

#include "toolkit/ChartAxis.h"
#include "toolkit/Fonts.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace toolkit {

namespace {

// Viridis at ten evenly spaced points; the colours between are blended.
constexpr std::array<QRgb, 10> kKeys = {0x440154, 0x482878, 0x3E4A89, 0x31688E, 0x26828E,
                                        0x1F9E89, 0x35B779, 0x6DCD59, 0xB4DE2C, 0xFDE725};
const QRgb kEmpty = qRgb(24, 24, 24);

const std::array<QRgb, 256>& Table() {
    static const std::array<QRgb, 256> table = [] {
        std::array<QRgb, 256> t{};
        for (int i = 0; i < 256; ++i) {
            const double at = i / 255.0 * (kKeys.size() - 1);
            const int k = std::min(static_cast<int>(at), static_cast<int>(kKeys.size()) - 2);
            const double f = at - k;
            auto mix = [f](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * f)); };
            const QRgb a = kKeys[k], b = kKeys[k + 1];
            t[i] = qRgb(mix(qRed(a), qRed(b)), mix(qGreen(a), qGreen(b)), mix(qBlue(a), qBlue(b)));
        }
        return t;
    }();
    return table;
}

QFont SmallFont() {
    QFont f = WithProgramFamilies(QFont());
    f.setPixelSize(11);
    return f;
}

QString Number(double v) { return QString::number(static_cast<long long>(std::llround(v))); }

}  // namespace

QRgb Waterfall::MapColour(double t) {
    if (!(t > 0)) t = 0;  // NaN too
    if (t > 1) t = 1;
    return Table()[static_cast<std::size_t>(std::lround(t * 255))];
}

Waterfall::Waterfall(QWidget* parent)
    : QWidget(parent),
      repaintTimer_(new QTimer(this)),
      barTimer_(new QTimer(this)),
      bar_(new QScrollBar(Qt::Vertical, this)) {
    setMouseTracking(true);
    setMinimumSize(kPlotLeft + kPlotWidth + kLegendWidth + 16, kHeader + 60);
    setAttribute(Qt::WA_OpaquePaintEvent);
    repaintTimer_->setSingleShot(true);
    connect(repaintTimer_, &QTimer::timeout, this, &Waterfall::showRows);
    barTimer_->setSingleShot(true);
    connect(barTimer_, &QTimer::timeout, this, [this] {
        barPending_ = false;
        if (updateScrollBar(true)) barSet_.start();
    });
    bar_->setAccessibleName(QStringLiteral("Прокрутка водопада"));
    bar_->installEventFilter(this);
    connect(bar_, &QScrollBar::valueChanged, this, [this](int v) {
        if (!settingBar_) setScrollBack(bar_->maximum() - v);
    });
    updateScrollBar();
}

QRect Waterfall::plotRect() const { return {kPlotLeft, kHeader, kPlotWidth, image_.height()}; }

void Waterfall::setFrequencyAxis(double min, double max, int maxIntervals) {
    if (min == fMin_ && max == fMax_ && maxIntervals == maxIntervals_) return;
    fMin_ = min;
    fMax_ = max;
    maxIntervals_ = maxIntervals;
    frameValid_ = false;
    redraw();
}

void Waterfall::setLevelRange(double min, double max, const QString& unit) {
    if (min == lMin_ && max == lMax_ && unit == unit_) return;
    lMin_ = min;
    lMax_ = max;
    unit_ = unit;
    frameValid_ = false;
    redraw();
}

void Waterfall::setKeptRows(int rows) {
    kept_ = std::max(rows, 0);
    updateScrollBar();
}

void Waterfall::clear() {
    newest_.reset();
    count_ = 0;
    back_ = 0;
    separators_.clear();
    image_.fill(kEmpty);
    top_ = 0;
    updateScrollBar();
    update();
}

void Waterfall::setRows(std::uint64_t newest, std::uint64_t count) {
    separators_.clear();
    back_ = 0;
    count_ = count;
    if (count > 0) newest_ = newest;
    else newest_.reset();
    updateScrollBar();
    redraw();
}

void Waterfall::resizeEvent(QResizeEvent*) {
    const int h = std::max(1, height() - kHeader);
    image_ = QImage(kPlotWidth, h, QImage::Format_RGB32);
    top_ = 0;
    bar_->setGeometry(width() - 16, kHeader, 16, h);
    updateScrollBar();
    redraw();
}

// The ring: row 0 (the top) is at line top_, the rows below it follow and wrap
// round to line 0.
int Waterfall::lineOf(int row) const {
    const int line = top_ + row;
    return line < image_.height() ? line : line - image_.height();
}

QImage Waterfall::picture() const {
    if (top_ == 0) return image_;
    QImage straight(image_.size(), image_.format());
    const qsizetype stride = image_.bytesPerLine();
    const qsizetype above = stride * top_, below = stride * (image_.height() - top_);
    std::memcpy(straight.bits(), image_.constBits() + above, static_cast<std::size_t>(below));
    std::memcpy(straight.bits() + below, image_.constBits(), static_cast<std::size_t>(above));
    return straight;
}

void Waterfall::drawRow(int lineIndex, std::uint64_t serial) {
    auto* line = reinterpret_cast<QRgb*>(image_.scanLine(lineIndex));
    Row row;
    if (!source_ || !source_(serial, row) || !row.levels || row.count <= 0 || !(row.dx > 0)) {
        std::fill(line, line + kPlotWidth, kEmpty);
        return;
    }
    // The sample whose frequency is nearest to each pixel's left edge, as the
    // chart's line passes through each sample's point: the same for every
    // row of one axis and sweep layout, so worked out when these change.
    const std::array<double, 5> layout = {fMin_, fMax_, row.x0, row.dx, static_cast<double>(row.count)};
    if (layout != columnsFor_) {
        columnsFor_ = layout;
        const double perPixel = (fMax_ - fMin_) / kPlotWidth;
        for (int px = 0; px < kPlotWidth; ++px) {
            const double f = fMin_ + px * perPixel;
            const double k = std::floor((f - row.x0) / row.dx + 0.5);
            columns_[px] = k < 0 || k >= row.count ? -1 : static_cast<int>(k);
        }
    }
    const bool own = row.levelMax > row.levelMin;
    const double low = own ? row.levelMin : lMin_;
    const double span = own ? row.levelMax - row.levelMin : lMax_ - lMin_;
    for (int px = 0; px < kPlotWidth; ++px) {
        const int k = columns_[px];
        line[px] = k < 0 ? kEmpty : MapColour(span > 0 ? (row.levels[k] - low) / span : 0);
    }
}

void Waterfall::redraw() {
    if (image_.isNull()) return;
    top_ = 0;
    for (int y = 0; y < image_.height(); ++y) {
        const std::uint64_t age = static_cast<std::uint64_t>(back_) + static_cast<std::uint64_t>(y);
        if (!newest_ || age >= count_) {
            std::fill_n(reinterpret_cast<QRgb*>(image_.scanLine(y)), kPlotWidth, kEmpty);
            continue;
        }
        drawRow(y, *newest_ - age);
    }
    update();
}

void Waterfall::addRow(std::uint64_t serial) {
    newest_ = serial;
    ++count_;
    while (!separators_.isEmpty() && kept_ > 0 && separators_.front().serial + static_cast<std::uint64_t>(kept_) < serial)
        separators_.removeFirst();
    // Looking back: the picture stands still until it reaches the oldest
    // row; only the scroll bar has more rows to show.
    if (back_ > 0 && back_ + 1 < kept_) {
        ++back_;
        barPending_ = true;
        if (isVisible()) barFollowsRows();
        return;
    }
    // Every row moves down a line: the ring's top moves up one, and the line
    // it moves to, the bottom row's until now, gets the new top row (the
    // newest, or when looking back from the oldest, the one as far back).
    if (!image_.isNull()) {
        const int h = image_.height();
        top_ = top_ > 0 ? top_ - 1 : h - 1;
        const std::uint64_t age = static_cast<std::uint64_t>(back_);
        if (age < count_) drawRow(top_, serial - age);
        else std::fill_n(reinterpret_cast<QRgb*>(image_.scanLine(top_)), kPlotWidth, kEmpty);
        // The row that has just left the caller's keeping, if shown: drawn
        // again from the source, which no longer has it.
        if (kept_ > 0 && kept_ - back_ < h && static_cast<std::uint64_t>(kept_) < count_)
            drawRow(lineOf(kept_ - back_), serial - static_cast<std::uint64_t>(kept_));
    }
    rowsTakenIn();
}

void Waterfall::addSeparator(std::uint64_t serial, const QString& text) {
    if (text.isEmpty()) return;
    separators_.append({serial, text});
    rowsTakenIn();
}

// New rows (or lines over them) are in the picture: repainted now if the
// last repaint for rows is kRepaintMs old, else when the next row finds it so;
// and if none comes, by the timer, so that the last row is never left
// unshown. The timer, started by the first row that waits, fires only when
// rows stop coming (at 40 a second, the fourth row repaints before it).
void Waterfall::rowsTakenIn() {
    rowsPending_ = barPending_ = true;
    if (!isVisible()) return;  // shown whole when it shows
    if (!lastRepaint_.isValid() || lastRepaint_.elapsed() >= kRepaintMs) showRows();
    else if (!repaintTimer_->isActive()) repaintTimer_->start(kRepaintMs);
}

void Waterfall::showRows() {
    repaintTimer_->stop();
    if (rowsPending_) {
        rowsPending_ = false;
        lastRepaint_.start();
        // Only the plot and the separators over it change.
        update(plotRect());
    }
    barFollowsRows();
}

// The scroll bar follows the rows at most every kBarMs (its handle moves by
// a pixel every so many rows, and each setting repaints it): now if the last
// setting is as old, else by its timer, which sets it after the last row too.
void Waterfall::barFollowsRows() {
    if (!barPending_ || barTimer_->isActive()) return;
    const qint64 since = barSet_.isValid() ? barSet_.elapsed() : kBarMs;
    if (since < kBarMs) {
        barTimer_->start(static_cast<int>(kBarMs - since));
        return;
    }
    barPending_ = false;
    if (updateScrollBar(true)) barSet_.start();
}

void Waterfall::showEvent(QShowEvent*) {
    if (!rowsPending_ && !barPending_) return;
    rowsPending_ = barPending_ = false;
    updateScrollBar();
}

// The bar brought up to date before the pointer works it, so that what it
// scrolls to counts every row taken in.
bool Waterfall::eventFilter(QObject* watched, QEvent* event) {
    if (watched == bar_ && (event->type() == QEvent::Enter || event->type() == QEvent::MouseButtonPress ||
                            event->type() == QEvent::Wheel))
        updateScrollBar();
    return QWidget::eventFilter(watched, event);
}

void Waterfall::setScrollBack(int rows) {
    const int most = std::max(0, std::min<int>(kept_, static_cast<int>(std::min<std::uint64_t>(count_, 1u << 30))) - 1);
    rows = std::clamp(rows, 0, most);
    if (rows == back_) return;
    back_ = rows;
    updateScrollBar();
    redraw();
}

// The bar's range and position for the rows there are. After new rows
// (onlyIfTheHandleMoves) it is left as it is while its handle would stay on
// the same pixels, its arrows as they were: a row lengthens the range by one,
// which with a few pages of rows moves the handle by a pixel only every so
// many rows, and setting the bar repaints it. True when it was set.
bool Waterfall::updateScrollBar(bool onlyIfTheHandleMoves) {
    const int rows = static_cast<int>(std::min<std::uint64_t>(count_, static_cast<std::uint64_t>(std::max(kept_, 1))));
    const int most = std::max(0, rows - image_.height());
    const int value = most - std::min(back_, most);
    const int page = std::max(1, image_.height());
    if (onlyIfTheHandleMoves && page == bar_->pageStep() && (value == 0) == (bar_->value() == 0) &&
        (value == most) == (bar_->value() == bar_->maximum()) &&
        barHandle(most, value) == barHandle(bar_->maximum(), bar_->value()))
        return false;
    settingBar_ = true;
    bar_->setRange(0, most);
    bar_->setPageStep(page);
    bar_->setValue(value);
    settingBar_ = false;
    return true;
}

QRect Waterfall::barHandle(int most, int value) const {
    QStyleOptionSlider o;
    o.initFrom(bar_);
    o.orientation = Qt::Vertical;
    o.subControls = QStyle::SC_All;
    o.minimum = 0;
    o.maximum = most;
    o.sliderPosition = o.sliderValue = value;
    o.singleStep = bar_->singleStep();
    o.pageStep = bar_->pageStep();
    return bar_->style()->subControlRect(QStyle::CC_ScrollBar, &o, QStyle::SC_ScrollBarSlider, bar_);
}

std::optional<std::uint64_t> Waterfall::serialAt(int y) const {
    const int row = y - kHeader;
    if (!newest_ || row < 0 || row >= image_.height()) return std::nullopt;
    const std::uint64_t age = static_cast<std::uint64_t>(back_) + static_cast<std::uint64_t>(row);
    if (age >= count_ || age > *newest_) return std::nullopt;
    return *newest_ - age;
}

double Waterfall::frequencyAt(int x) const { return fMin_ + (x - kPlotLeft) * (fMax_ - fMin_) / kPlotWidth; }

void Waterfall::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (const auto serial = serialAt(at.y()); serial && at.x() >= kPlotLeft && at.x() < kPlotLeft + kPlotWidth)
        emit hovered(*serial, frequencyAt(at.x()));
}

void Waterfall::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && at.x() >= kPlotLeft && at.x() < kPlotLeft + kPlotWidth)
        emit clicked(frequencyAt(at.x()));
}

void Waterfall::wheelEvent(QWheelEvent* event) {
    setScrollBack(back_ + event->angleDelta().y() / 120 * 40);
    event->accept();
}

void Waterfall::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect plot = plotRect();
    // Around the plot, from the layer drawn when the axis, the levels or the
    // size change: the scroll bar over the legend repaints it under itself.
    const QRegion around = event->region() - plot;
    if (!around.isEmpty()) {
        const QPixmap& layer = frameLayer();
        const qreal dpr = layer.devicePixelRatio();
        for (const QRect& r : around)
            p.drawPixmap(QRectF(r), layer, QRectF(QPointF(r.topLeft()) * dpr, QSizeF(r.size()) * dpr));
    }
    if (!event->region().intersects(plot)) return;
    // The ring in two pieces: from its top line down, then from its first line.
    const int below = image_.height() - top_;
    p.drawImage(plot.topLeft(), image_, QRect(0, top_, kPlotWidth, below));
    if (top_ > 0) p.drawImage(plot.topLeft() + QPoint(0, below), image_, QRect(0, 0, kPlotWidth, top_));
    // Lines where the meaning changed: above the first row of the new meaning.
    if (separators_.isEmpty() || !newest_) return;
    p.setFont(SmallFont());
    const QFontMetrics fm(p.font());
    p.setClipRect(plot);
    for (const Separator& s : separators_) {
        if (s.serial > *newest_) continue;
        const std::uint64_t age = *newest_ - s.serial;
        const long long y = static_cast<long long>(age) - back_ + kHeader;
        if (y < kHeader || y >= plot.bottom()) continue;
        p.setPen(Qt::white);
        p.drawLine(plot.left(), static_cast<int>(y), plot.right(), static_cast<int>(y));
        const QRect box(plot.left() + 4, static_cast<int>(y) + 1, fm.horizontalAdvance(s.text) + 6, fm.height());
        p.fillRect(box, QColor(0, 0, 0, 170));
        p.drawText(box.adjusted(3, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, s.text);
    }
}

const QPixmap& Waterfall::frameLayer() {
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * dpr).toSize();
    if (frameValid_ && frame_.size() == pixels && frame_.devicePixelRatio() == dpr) return frame_;
    if (frame_.size() != pixels) frame_ = QPixmap(pixels);
    frame_.setDevicePixelRatio(dpr);
    frameValid_ = true;
    QPainter p(&frame_);
    p.fillRect(rect(), Qt::black);
    p.setFont(SmallFont());
    const QFontMetrics fm(p.font());
    const QRect plot = plotRect();

    // The frequency labels, where the chart's ticks stand.
    const ChartAxis axis(fMin_, fMax_ > fMin_ ? fMax_ : fMin_ + 1, maxIntervals_);
    p.setPen(Qt::white);
    for (double v : axis.ticks()) {
        const double x = kPlotLeft + (v - fMin_) * kPlotWidth / (fMax_ - fMin_);
        const QString text = Number(v);
        p.drawLine(QPointF(x, kHeader - 4), QPointF(x, kHeader - 1));
        p.drawText(QPointF(std::round(x - fm.horizontalAdvance(text) / 2.0), fm.ascent()), text);
    }

    // The legend: the colour bar from the lowest level (bottom) to the highest.
    const int barLeft = plot.right() + 8, barWidth = 14;
    // The unit on the first line, the highest level centred on the bar's top
    // below it.
    const int barTop = kHeader + fm.height() + fm.ascent() / 2 + 1, barBottom = plot.bottom() - fm.height();
    if (barBottom > barTop) {
        for (int y = barTop; y <= barBottom; ++y) {
            p.setPen(QColor::fromRgb(MapColour(double(barBottom - y) / (barBottom - barTop))));
            p.drawLine(barLeft, y, barLeft + barWidth - 1, y);
        }
        p.setPen(Qt::white);
        const int tx = barLeft + barWidth + 4;
        p.drawText(QPointF(tx, barTop + fm.ascent() / 2.0), Number(lMax_));
        p.drawText(QPointF(tx, (barTop + barBottom) / 2.0 + fm.ascent() / 2.0), Number((lMin_ + lMax_) / 2));
        p.drawText(QPointF(tx, barBottom + fm.ascent() / 2.0), Number(lMin_));
        p.drawText(QPointF(barLeft, kHeader + fm.ascent()), unit_);
    }
    return frame_;
}

// ---- The level strip ----

LevelStrip::LevelStrip(QWidget* parent) : QWidget(parent) {
    setMinimumSize(Waterfall::kPlotLeft + Waterfall::kPlotWidth + 8, 110);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LevelStrip::setPoints(const QList<QPointF>& points, double spanSeconds) {
    points_ = points;
    span_ = spanSeconds > 0 ? spanSeconds : 60;
    highest_.reset();
    for (const QPointF& p : points_)
        if (!highest_ || p.y() > highest_->y()) highest_ = p;
    update();
}

void LevelStrip::setLevelRange(double min, double max, const QString& unit) {
    lMin_ = min;
    lMax_ = max;
    unit_ = unit;
    update();
}

void LevelStrip::setTitle(const QString& title) {
    title_ = title;
    update();
}

void LevelStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    p.setFont(SmallFont());
    const QFontMetrics fm(p.font());
    const QRectF plot(Waterfall::kPlotLeft, fm.height() + 2, Waterfall::kPlotWidth, height() - fm.height() - 6);
    p.setPen(QColor(90, 90, 90));
    p.drawRect(plot);
    p.setPen(Qt::white);
    p.drawText(QPointF(plot.left(), fm.ascent()), title_);
    p.drawText(QPointF(2, plot.top() + fm.ascent()), Number(lMax_));
    p.drawText(QPointF(2, plot.bottom()), Number(lMin_));
    p.drawText(QPointF(plot.right() + 4, plot.bottom()), QStringLiteral("0 с"));
    const double ySpan = lMax_ - lMin_;
    if (points_.isEmpty() || !(ySpan > 0)) return;
    auto map = [&](const QPointF& v) {
        const double y = std::clamp((v.y() - lMin_) / ySpan, 0.0, 1.0);
        return QPointF(plot.right() - v.x() / span_ * plot.width(), plot.bottom() - y * plot.height());
    };
    QPolygonF line;
    line.reserve(points_.size());
    for (const QPointF& v : points_) line.append(map(v));
    p.setPen(QColor(255, 255, 128));
    p.drawPolyline(line);
    if (highest_) {
        const QPointF at = map(*highest_);
        p.setPen(QColor(255, 96, 96));
        p.setBrush(QColor(255, 96, 96));
        p.drawEllipse(at, 3.5, 3.5);
        const QString text = QStringLiteral("макс %1 %2").arg(QString::number(highest_->y(), 'f', 1).replace(QLatin1Char('.'), QLatin1Char(','))).arg(unit_);
        const double tx = std::min(at.x() + 6, plot.right() - fm.horizontalAdvance(text) - 2.0);
        p.drawText(QPointF(std::max(plot.left() + 2, tx), std::max(plot.top() + fm.ascent(), at.y() - 4)), text);
    }
}

}  // namespace toolkit
