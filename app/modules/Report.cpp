// The pointing and the table's texts come from pointing/.
#include "app/modules/Report.h"

#include "app/SaveFile.h"
#include "live/Pipeline.h"
#include "pointing/Pointing.h"
#include "toolkit/Accessibility.h"
#include "toolkit/Chart.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Fonts.h"

#include <QAction>
#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>
#include <QPushButton>
#include <QTimeZone>
#include <QToolTip>

#include <algorithm>
#include <cctype>

namespace {

QString U(const std::string& utf8) { return QString::fromStdString(utf8); }

// The program's families: all have Cyrillic and are embedded in the PDF.
QFont ReportFont(double points, bool bold = false) {
    QFont f = toolkit::WithProgramFamilies(QFont());
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// ---- Making the file depend only on what it shows ----

// "D:20261209235005+03'00'": the PDF form of a date with its offset from UTC.
QByteArray PdfDate(const QDateTime& when) {
    QByteArray d = "D:" + when.toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1();
    const int offset = when.offsetFromUtc();
    if (offset == 0) return d + 'Z';
    const int minutes = std::abs(offset) / 60;
    return d + (offset < 0 ? '-' : '+') + QByteArray::number(minutes / 60).rightJustified(2, '0') + '\'' +
           QByteArray::number(minutes % 60).rightJustified(2, '0') + '\'';
}

// Replaces pdf[at, at + length) and moves the cross-reference table's
// offsets behind it, and the pointer to that table, by the change in length.
void Splice(QByteArray& pdf, qsizetype at, qsizetype length, const QByteArray& with) {
    const qsizetype delta = with.size() - length;
    pdf.replace(at, length, with);
    if (delta == 0) return;
    const qsizetype start = pdf.lastIndexOf("startxref");
    if (start < 0) return;
    qsizetype p = start + 9;
    while (p < pdf.size() && (pdf[p] == '\n' || pdf[p] == '\r' || pdf[p] == ' ')) ++p;
    qsizetype e = p;
    while (e < pdf.size() && pdf[e] >= '0' && pdf[e] <= '9') ++e;
    const qsizetype xref = pdf.mid(p, e - p).toLongLong();
    if (xref > at) pdf.replace(p, e - p, QByteArray::number(xref + delta));
    // Entries: "oooooooooo ggggg n" lines after "xref" and "first count".
    qsizetype line = pdf.indexOf('\n', std::min(xref > at ? xref + delta : xref, pdf.size()));
    while (line >= 0 && line + 18 < pdf.size()) {
        const qsizetype s = line + 1;
        const QByteArray entry = pdf.mid(s, 18);
        if (entry.startsWith("trailer")) break;
        if (entry.size() < 18 || entry[10] != ' ' || entry[16] != ' ') {
            line = pdf.indexOf('\n', s);  // a subsection's "first count"
            continue;
        }
        const qsizetype offset = entry.left(10).toLongLong();
        if (entry[17] == 'n' && offset > at)
            pdf.replace(s, 10, QByteArray::number(offset + delta).rightJustified(10, '0'));
        line = pdf.indexOf('\n', s);
    }
}

// The PDF writer stamps the file with the time it was written and may give
// it a random identifier; both are replaced: the date by the report's own,
// the identifier (same length) by a digest of the rest of the file.
QByteArray Deterministic(QByteArray pdf, const QDateTime& when) {
    for (const QByteArray& key : {QByteArray("/CreationDate ("), QByteArray("/ModDate (")}) {
        const qsizetype at = pdf.indexOf(key);
        if (at < 0) continue;
        const qsizetype from = at + key.size(), to = pdf.indexOf(')', from);
        if (to > from) Splice(pdf, from, to - from, PdfDate(when));
    }
    const qsizetype id = pdf.lastIndexOf("/ID [");
    if (id >= 0) {
        const qsizetype end = pdf.indexOf(']', id);
        QByteArray rest = pdf;
        rest.remove(id, end - id);
        const QByteArray digest = QCryptographicHash::hash(rest, QCryptographicHash::Sha256).toHex().toUpper();
        for (qsizetype i = id + 5, k = 0; i < end; ++i)
            if (std::isxdigit(static_cast<unsigned char>(pdf[i]))) pdf[i] = digest[k++ % digest.size()];
    }
    return pdf;
}

// The document's own metadata, so that the writer makes none of its own
// (newer Qt versions date it and give it random identifiers).
QByteArray Xmp(const QString& title, const QDateTime& when) {
    const QString date = when.toString(Qt::ISODate);
    return QStringLiteral(
               "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
               "<x:xmpmeta xmlns:x='adobe:ns:meta/'>\n"
               "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>\n"
               "<rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/'"
               " xmlns:xmp='http://ns.adobe.com/xap/1.0/'>\n"
               "<dc:title><rdf:Alt><rdf:li xml:lang='x-default'>%1</rdf:li></rdf:Alt></dc:title>\n"
               "<xmp:CreatorTool>Velkarn3 Pano</xmp:CreatorTool>\n"
               "<xmp:CreateDate>%2</xmp:CreateDate>\n"
               "<xmp:ModifyDate>%2</xmp:ModifyDate>\n"
               "</rdf:Description>\n</rdf:RDF>\n</x:xmpmeta>\n<?xpacket end='w'?>")
        .arg(title.toHtmlEscaped(), date)
        .toUtf8();
}

// ---- The page ----

// Lays the report out top to bottom in points on A4, starting a new page
// where the next block does not fit: a table row, a line of text or the
// whole chart, never split.
class Layout {
public:
    explicit Layout(QPdfWriter& writer) : writer_(writer), painter_(&writer) {
        const QRectF page = writer.pageLayout().paintRect(QPageLayout::Point);
        width_ = page.width();
        bottom_ = page.height();
    }
    QPainter& painter() { return painter_; }
    double width() const { return width_; }
    double y() const { return y_; }
    void skip(double h) { y_ += h; }
    // True when a new page was started.
    bool need(double h) {
        if (y_ + h <= bottom_ || y_ == 0) return false;
        writer_.newPage();
        y_ = 0;
        return true;
    }
    void text(const QString& s, double points, bool bold = false) {
        painter_.setFont(ReportFont(points, bold));
        const QFontMetricsF fm(painter_.font(), &writer_);
        const QRectF box(0, 0, width_, 1e6);
        const QRectF used = fm.boundingRect(box, Qt::TextWordWrap, s);
        need(used.height());
        painter_.setPen(Qt::black);
        painter_.drawText(QRectF(0, y_, width_, used.height()), Qt::TextWordWrap, s);
        y_ += used.height() + points * 0.3;
    }

private:
    QPdfWriter& writer_;
    QPainter painter_;
    double width_ = 0, bottom_ = 0, y_ = 0;
};

void DrawTable(Layout& l, const std::vector<pointing::TableLine>& rows) {
    // Column shares of the width: satellite and position wider.
    constexpr std::array<double, pointing::kTableColumns> share{1.1, 1.15, 0.85, 0.5, 0.9, 0.55, 0.9, 0.9, 1.05, 1.35};
    double total = 0;
    for (double s : share) total += s;
    const double rowHeight = 14;
    QPainter& p = l.painter();
    auto row = [&](const pointing::TableLine& cells, bool header) {
        double x = 0;
        p.setFont(ReportFont(8.5, header));
        if (header) p.fillRect(QRectF(0, l.y(), l.width(), rowHeight), QColor(225, 225, 225));
        p.setPen(QPen(QColor(160, 160, 160), 0.5));
        p.drawLine(QPointF(0, l.y() + rowHeight), QPointF(l.width(), l.y() + rowHeight));
        p.setPen(Qt::black);
        for (int c = 0; c < pointing::kTableColumns; ++c) {
            const double w = l.width() * share[static_cast<std::size_t>(c)] / total;
            p.drawText(QRectF(x + 2, l.y(), w - 4, rowHeight), Qt::AlignVCenter | Qt::AlignLeft,
                       U(cells[static_cast<std::size_t>(c)]));
            x += w;
        }
        l.skip(rowHeight);
    };
    l.need(2 * rowHeight);
    row(pointing::TableHeader(), true);
    for (const pointing::TableLine& cells : rows) {
        if (l.need(rowHeight)) row(pointing::TableHeader(), true);
        row(cells, false);
    }
}

// The job's fields in a small dialog; all optional.
std::optional<ReportFeature::Job> AskJob(QWidget* parent) {
    QDialog d(parent);
    d.setWindowTitle(QStringLiteral("Отчёт"));
    auto* form = new QFormLayout(&d);
    QLineEdit* fields[3];
    const QString labels[3] = {QStringLiteral("Работа"), QStringLiteral("Адрес"), QStringLiteral("Монтажник")};
    for (int i = 0; i < 3; ++i) {
        fields[i] = new QLineEdit(&d);
        fields[i]->setMinimumWidth(280);
        toolkit::setAccessibleName(fields[i], labels[i]);
        form->addRow(labels[i] + ':', fields[i]);
    }
    auto* buttons = new QDialogButtonBox(&d);
    buttons->addButton(QStringLiteral("Сохранить…"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    form->addRow(buttons);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return ReportFeature::Job{fields[0]->text().trimmed(), fields[1]->text().trimmed(),
                                    fields[2]->text().trimmed()};
}

}  // namespace

void ReportFeature::Attach(FeatureHost& host) {
    host_ = &host;
    ActionReport = host.AddItem({4, 3, QStringLiteral("Отчёт…"), Qt::CTRL | Qt::Key_F12, false, "ActionReport"});
    connect(ActionReport, &QAction::triggered, this, [this] { toolkit::guarded([this] { Save(); }); });
    AskJob = [this] { return ::AskJob(&host_->Form()); };
}

struct ReportFeature::Shot {
    QPicture picture;
    QSize size;
    QString unit;
    std::optional<QString> peak;
    QStringList lines;  // the features' lines, of the same moment as the picture
};

ReportFeature::Shot ReportFeature::ShootChart() const {
    Shot shot;
    toolkit::Chart& chart = host_->Chart();
    shot.size = chart.size();
    {
        QPainter p(&shot.picture);
        chart.paintChart(p);
    }
    shot.unit = QString::fromStdString(host_->Window().LevelUnit());
    if (chart.marker()) shot.peak = chart.marker()->label;
    shot.lines = host_->ReportLines();
    return shot;
}

QByteArray ReportFeature::Pdf(const Job& job, const QDateTime& when) { return Pdf(job, when, ShootChart()); }

QByteArray ReportFeature::Pdf(const Job& job, const QDateTime& when, const Shot& shot) {
    const live::Window& window = host_->Window();
    const QString title = QStringLiteral("Отчёт об установке антенны");
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(72);  // one unit a point
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(42, 42, 42, 42),
                                         QPageLayout::Point));
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Velkarn3 Pano"));
        writer.setDocumentXmpMetadata(Xmp(title, when));
        Layout l(writer);

        l.text(title, 15, true);
        l.skip(4);
        const QString none = QStringLiteral("—");
        l.text(QStringLiteral("Работа: ") + (job.name.isEmpty() ? none : job.name), 10);
        l.text(QStringLiteral("Адрес: ") + (job.address.isEmpty() ? none : job.address), 10);
        l.text(QStringLiteral("Монтажник: ") + (job.installer.isEmpty() ? none : job.installer), 10);
        l.text(QStringLiteral("Дата и время: ") + when.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")), 10);
        const std::optional<pointing::Site> site = window.FieldSite();
        QString place;
        if (site) {
            place = U(pointing::AngleText(site->latitude)) + QStringLiteral(" с. ш., ") +
                    U(pointing::AngleText(site->longitude)) + QStringLiteral(" в. д.");
            if (site->longitude > 180)
                place += QStringLiteral(" (") + U(pointing::AngleText(360 - site->longitude)) + QStringLiteral(" з. д.)");
        } else {
            place = U(window.CoordinateTexts()) + QStringLiteral(" (не координаты)");
        }
        l.text(QStringLiteral("Место установки: ") + place, 10);
        l.skip(6);

        const std::vector<pointing::EntryLine> entries = pointing::StoredEntries(window.GridRows(), site);
        if (entries.empty()) {
            l.text(QStringLiteral("Таблица транспондеров пуста."), 10);
        } else {
            l.text(QStringLiteral("Транспондеры и наведение антенны"), 11, true);
            std::vector<pointing::TableLine> rows;
            for (const pointing::EntryLine& e : entries) rows.push_back(pointing::TableRow(e));
            DrawTable(l, rows);
            l.skip(3);
            l.text(QStringLiteral("Азимут истинный, от севера по часовой стрелке; угол места без рефракции; "
                                  "поворот LNB по часовой стрелке, если смотреть из-за антенны на спутник."),
                   7.5);
        }
        l.skip(6);

        // The chart as shown, scaled to the width; vector, so sharp at any
        // resolution.
        const double scale = l.width() / shot.size.width();
        const double height = shot.size.height() * scale;
        l.need(height + 30);
        l.text(QStringLiteral("Спектр, ") + shot.unit, 11, true);
        QPainter& p = l.painter();
        p.save();
        p.translate(0, l.y());
        p.scale(scale, scale);
        // A picture played on a device of another resolution is scaled by
        // the ratio of the two; the chart's pixels are meant here.
        const QPaintDevice* page = p.device();
        p.scale(double(shot.picture.logicalDpiX()) / page->logicalDpiX(),
                double(shot.picture.logicalDpiY()) / page->logicalDpiY());
        p.setClipRect(QRect(QPoint(0, 0), shot.size));
        p.drawPicture(0, 0, shot.picture);
        p.restore();
        l.skip(height + 6);
        if (shot.peak) l.text(QStringLiteral("Маркер пика: ") + *shot.peak, 10);
        for (const QString& line : shot.lines) l.text(line, 10);
    }
    return Deterministic(bytes, when);
}

void ReportFeature::Save() {
    // The chart as it is when asked for, whatever the ticks bring while the
    // dialogs are open.
    const Shot shot = ShootChart();
    const std::optional<Job> job = AskJob();
    if (!job) return;
    const QDateTime when = QDateTime::currentDateTime();
    const QByteArray pdf = Pdf(*job, when, shot);
    const QString file = AskSaveFileName(QStringLiteral("Сохранить отчёт"), QStringLiteral("Отчёт PDF (*.pdf)|*.pdf"),
                                         "Отчёт", "pdf", LocalDateTime(when));
    if (file.isEmpty()) return;
    SaveFile(file, pdf);
}
