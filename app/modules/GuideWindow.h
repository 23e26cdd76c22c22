// The guided aiming's window: the target and the site for this run, where
// to point (each figure a label that begins with its caption, so that a
// screen reader reads it whole), a compass rose, the verdict of the sweep,
// the best level on the target and the moments marked "Наведено". It only
// shows what it is given and tells what the user changed; the guide
// feature works it out.
#pragma once

#include <QLabel>
#include <QStringList>
#include <QWidget>

#include <optional>

class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QPushButton;

// North up; the true and the magnetic azimuth to the target, and the sun's
// azimuth now.
class CompassRose : public QWidget {
    Q_OBJECT
public:
    explicit CompassRose(QWidget* parent = nullptr);
    void Show(std::optional<double> azimuth, std::optional<double> magnetic, std::optional<double> sun);
    QSize sizeHint() const override { return {150, 150}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::optional<double> azimuth_, magnetic_, sun_;
};

class GuideWindow : public QWidget {
    Q_OBJECT
public:
    explicit GuideWindow(QWidget* parent = nullptr);

    QComboBox* ComboTarget;       // "Цель"
    QLineEdit* EditLatitude;      // "Широта", degrees north
    QLineEdit* EditLongitude;     // "Долгота", degrees east (west negative)
    QDoubleSpinBox* SpinOffset;   // "Угол офсета"
    QLabel* LabelNote;            // what is missing, or that the target is below the horizon
    QLabel* LabelAzimuth;
    QLabel* LabelMagnetic;
    QLabel* LabelElevation;
    QLabel* LabelScale;
    QLabel* LabelSkew;
    QLabel* LabelSun;
    CompassRose* Compass;
    QLabel* LabelVerdict;         // described "Наведение"
    QLabel* LabelBest;
    QPushButton* ButtonMark;      // "Наведено"
    QLabel* LabelMoments;

    // The figures shown (none: `note` instead, and nothing else).
    struct Figures {
        QString azimuth, magnetic, elevation, scale, skew, sun;
    };
    void ShowFigures(const std::optional<Figures>& figures, const QString& note);
    // A changed verdict is announced to assistive technology.
    void ShowVerdict(const QString& text);
    void ShowBest(const QString& text);
    void ShowMoments(const QStringList& moments);

signals:
    void targetChosen(int index);
    void siteEdited();
    void offsetChanged(double degrees);
    void markPressed();
};
