#include "app/modules/GuideWindow.h"

#include "toolkit/Fonts.h"

#include <QAccessible>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>
#include <numbers>

CompassRose::CompassRose(QWidget* parent) : QWidget(parent) {
    setMinimumSize(150, 150);
    setAccessibleName(QStringLiteral("Компас"));
}

void CompassRose::Show(std::optional<double> azimuth, std::optional<double> magnetic, std::optional<double> sun) {
    if (azimuth == azimuth_ && magnetic == magnetic_ && sun == sun_) return;
    azimuth_ = azimuth;
    magnetic_ = magnetic;
    sun_ = sun;
    update();
}

void CompassRose::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double r = std::min(width(), height()) / 2.0 - 14;
    p.translate(width() / 2.0, height() / 2.0);
    p.setPen(QPen(palette().color(QPalette::WindowText), 1));
    p.drawEllipse(QPointF(0, 0), r, r);
    for (int d = 0; d < 360; d += 30) {
        const double a = d * std::numbers::pi / 180;
        const double inner = d % 90 == 0 ? r - 8 : r - 4;
        p.drawLine(QPointF(inner * std::sin(a), -inner * std::cos(a)), QPointF(r * std::sin(a), -r * std::cos(a)));
    }
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(-10, -r - 14, 20, 14), Qt::AlignCenter, QStringLiteral("С"));
    auto ray = [&](double degrees, const QPen& pen, double length) {
        const double a = degrees * std::numbers::pi / 180;
        p.setPen(pen);
        p.drawLine(QPointF(0, 0), QPointF(length * std::sin(a), -length * std::cos(a)));
    };
    if (magnetic_) ray(*magnetic_, QPen(QColor(0, 120, 200), 2, Qt::DashLine), r - 2);
    if (azimuth_) ray(*azimuth_, QPen(QColor(200, 40, 40), 3), r - 2);
    if (sun_) {
        const double a = *sun_ * std::numbers::pi / 180;
        p.setPen(QPen(QColor(160, 120, 0), 1));
        p.setBrush(QColor(255, 200, 0));
        p.drawEllipse(QPointF((r - 6) * std::sin(a), -(r - 6) * std::cos(a)), 5, 5);
    }
}

GuideWindow::GuideWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Velkarn3 — Наведение"));
    setAccessibleName(QStringLiteral("Наведение"));
    setFont(toolkit::WithProgramFamilies(font()));
    auto* top = new QVBoxLayout(this);

    auto* form = new QFormLayout;
    ComboTarget = new QComboBox(this);
    ComboTarget->setAccessibleName(QStringLiteral("Цель"));
    ComboTarget->setMinimumContentsLength(28);
    ComboTarget->setPlaceholderText(QStringLiteral("выберите спутник"));
    form->addRow(QStringLiteral("Цель:"), ComboTarget);
    auto* site = new QHBoxLayout;
    EditLatitude = new QLineEdit(this);
    EditLatitude->setAccessibleName(QStringLiteral("Широта"));
    EditLatitude->setPlaceholderText(QStringLiteral("с. ш., например 55,7"));
    EditLongitude = new QLineEdit(this);
    EditLongitude->setAccessibleName(QStringLiteral("Долгота"));
    EditLongitude->setPlaceholderText(QStringLiteral("в. д., западная с минусом"));
    site->addWidget(EditLatitude);
    site->addWidget(EditLongitude);
    form->addRow(QStringLiteral("Широта, долгота:"), site);
    SpinOffset = new QDoubleSpinBox(this);
    SpinOffset->setAccessibleName(QStringLiteral("Угол офсета"));
    SpinOffset->setRange(0, 45);
    SpinOffset->setDecimals(1);
    SpinOffset->setSingleStep(0.5);
    SpinOffset->setSuffix(QStringLiteral("°"));
    SpinOffset->setLocale(QLocale(QLocale::Russian));
    form->addRow(QStringLiteral("Угол офсета антенны:"), SpinOffset);
    top->addLayout(form);

    LabelNote = new QLabel(this);
    LabelNote->setWordWrap(true);
    top->addWidget(LabelNote);
    auto* where = new QHBoxLayout;
    auto* figures = new QVBoxLayout;
    for (QLabel** l : {&LabelAzimuth, &LabelMagnetic, &LabelElevation, &LabelScale, &LabelSkew, &LabelSun}) {
        *l = new QLabel(this);
        figures->addWidget(*l);
    }
    figures->addStretch();
    where->addLayout(figures, 1);
    Compass = new CompassRose(this);
    where->addWidget(Compass);
    top->addLayout(where);

    LabelVerdict = new QLabel(this);
    LabelVerdict->setAccessibleDescription(QStringLiteral("Наведение"));
    QFont big = LabelVerdict->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.25);
    LabelVerdict->setFont(big);
    LabelVerdict->setWordWrap(true);
    top->addWidget(LabelVerdict);
    LabelBest = new QLabel(this);
    top->addWidget(LabelBest);
    ButtonMark = new QPushButton(QStringLiteral("Наведено"), this);
    ButtonMark->setAccessibleName(QStringLiteral("Наведено"));
    ButtonMark->setToolTip(QStringLiteral("Запомнить этот момент для отчёта"));
    top->addWidget(ButtonMark, 0, Qt::AlignLeft);
    LabelMoments = new QLabel(this);
    LabelMoments->setWordWrap(true);
    LabelMoments->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(LabelMoments);
    top->addStretch();

    connect(ComboTarget, &QComboBox::currentIndexChanged, this, &GuideWindow::targetChosen);
    connect(EditLatitude, &QLineEdit::textEdited, this, &GuideWindow::siteEdited);
    connect(EditLongitude, &QLineEdit::textEdited, this, &GuideWindow::siteEdited);
    connect(SpinOffset, &QDoubleSpinBox::valueChanged, this, &GuideWindow::offsetChanged);
    connect(ButtonMark, &QPushButton::clicked, this, &GuideWindow::markPressed);
}

namespace {
void SetText(QLabel* label, const QString& text) {
    if (label->text() != text) label->setText(text);
}
}  // namespace

void GuideWindow::ShowFigures(const std::optional<Figures>& f, const QString& note) {
    SetText(LabelNote, note);
    LabelNote->setVisible(!note.isEmpty());
    const QString texts[] = {f ? f->azimuth : QString(), f ? f->magnetic : QString(), f ? f->elevation : QString(),
                             f ? f->scale : QString(),   f ? f->skew : QString(),     f ? f->sun : QString()};
    QLabel* labels[] = {LabelAzimuth, LabelMagnetic, LabelElevation, LabelScale, LabelSkew, LabelSun};
    for (int i = 0; i < 6; ++i) {
        SetText(labels[i], texts[i]);
        labels[i]->setVisible(f.has_value());
    }
    for (QWidget* w : std::initializer_list<QWidget*>{Compass, LabelVerdict, LabelBest, ButtonMark})
        w->setVisible(f.has_value());
}

void GuideWindow::ShowVerdict(const QString& text) {
    if (LabelVerdict->text() == text) return;
    LabelVerdict->setText(text);
    QAccessibleEvent e(LabelVerdict, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&e);
}

void GuideWindow::ShowBest(const QString& text) { SetText(LabelBest, text); }

void GuideWindow::ShowMoments(const QStringList& moments) {
    SetText(LabelMoments, moments.isEmpty() ? QString() : QStringLiteral("Наведено:\n") + moments.join('\n'));
}
