// The analysis window: the waterfall follows the main window's sweeps, and a
// recording replays exactly the sweeps it holds, each at its time.
#include "Fixture.h"
#include "app/AnalysisWindow.h"
#include "app/Unit1Tools.h"
#include "toolkit/Chart.h"
#include "toolkit/Waterfall.h"

#include <QAccessible>
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <filesystem>

namespace {

panorama::SweepFrame Frame(int seed) {
    panorama::SweepFrame f{};
    for (int i = 0; i < panorama::kSamples; ++i) f[i] = static_cast<std::uint8_t>((seed * 37 + i * 3) % 256);
    return f;
}

// The waterfall's colour at the column of sample k of a sweep on the shown axis.
QRgb Colour(const recording::Sweep& s, int k) {
    const recording::Meaning& m = s.meaning;
    const float level = recording::SweepLevels(s)[k];
    return toolkit::Waterfall::MapColour((level - m.levelMin) / double(m.levelMax - m.levelMin));
}

// The plot column of sample k's frequency: 128 steps over 640 pixels.
int Column(int k) { return (k - 1) * 5; }

}  // namespace

TEST_F(WindowTest, AnalysisWaterfallRowsFollowTheSweeps) {
    form->SpeedButton1->setChecked(true);
    form->show();
    form->Tools->ActionAnalysis->trigger();
    AnalysisWindow* w = form->Tools->Analysis.get();
    ASSERT_TRUE(w && w->isVisible());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Velkarn3 — Анализ"));
    sim::MeterAt(meter).scriptedSweeps = {Frame(1), Frame(2), Frame(3)};
    for (int k = 0; k < 3; ++k) form->ButtonRead_PANOClick();
    const recording::History& h = w->LiveHistory();
    ASSERT_EQ(h.Size(), 3u);
    EXPECT_EQ(w->Waterfall->newest(), std::optional<std::uint64_t>(2));
    // Newest on top, a row per sweep, each sample's colour under its frequency.
    const QImage& picture = w->Waterfall->picture();
    for (int row = 0; row < 3; ++row) {
        const recording::Sweep& s = h.At(2 - row);
        EXPECT_EQ(s.frame, Frame(3 - row));
        for (int k : {1, 40, 127}) EXPECT_EQ(picture.pixel(Column(k), row), Colour(s, k)) << row << " " << k;
    }
    // A click on the main chart picks the level strip's frequency.
    QTest::mouseClick(form->Chart1, Qt::LeftButton, {}, QPoint(133, 200));
    EXPECT_EQ(w->StripFrequency(), std::optional<double>(form->Chart1->mapToValue(QPointF(133, 200)).x()));
    // Closing only hides it: the tick goes on feeding it.
    w->close();
    form->ButtonRead_PANOClick();
    EXPECT_EQ(w->LiveHistory().Size(), 4u);
}

// "Запись" pressed as a screen reader presses it, through its toggle
// action (no click): a refused file leaves it up, a chosen one records, and
// the next press stops.
TEST_F(WindowTest, AnalysisRecordWorksThroughItsToggleAction) {
    AnalysisWindow w([](int) { return QString(); });
    w.show();
    const auto dir = std::filesystem::temp_directory_path() / ("analysis_a11y_" + std::to_string(QCoreApplication::applicationPid()));
    std::filesystem::create_directories(dir);
    const auto press = [&] {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w.ButtonRecord);
        ASSERT_TRUE(a && a->actionInterface());
        a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    };
    dialogs.fileChoices = {QString()};  // the file dialog cancelled
    press();
    EXPECT_FALSE(w.Recording());
    EXPECT_FALSE(w.ButtonRecord->isChecked());
    dialogs.fileChoices = {QString::fromStdString((dir / "a.vk3rec").string())};
    press();
    EXPECT_TRUE(w.Recording());
    EXPECT_TRUE(w.ButtonRecord->isChecked());
    press();
    EXPECT_FALSE(w.Recording());
    EXPECT_FALSE(w.ButtonRecord->isChecked());
    std::filesystem::remove_all(dir);
}

TEST_F(WindowTest, AnalysisReplayShowsTheRecordedSweepsAtTheirTimes) {
    AnalysisWindow w([](int) { return QString(); });
    w.show();
    const auto dir = std::filesystem::temp_directory_path() / ("analysis_" + std::to_string(QCoreApplication::applicationPid()));
    std::filesystem::create_directories(dir);
    const QString file = QString::fromStdString((dir / "r.vk3rec").string());
    recording::Meaning m;
    m.sample = {10, 950, 11550, 0, 0xC000, 0, 9, 4300};
    m.levelMin = 45;
    m.levelMax = 125;
    const std::int64_t t0 = 1'765'000'000'000;
    w.TakeIn(nullptr, m, false, t0 - 10);  // a tick without a sweep: the recording starts at its time
    dialogs.fileChoices = {file};
    w.ButtonRecord->click();
    ASSERT_TRUE(w.Recording());
    const std::vector<std::int64_t> times = {t0, t0 + 25, t0 + 50, t0 + 400, t0 + 425, t0 + 1450};
    for (std::size_t i = 0; i < times.size(); ++i) {
        const panorama::SweepFrame f = Frame(static_cast<int>(i));
        w.TakeIn(&f, m, false, times[i]);
    }
    w.ButtonRecord->click();
    ASSERT_FALSE(w.Recording());

    ASSERT_TRUE(w.OpenRecording(file));
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(w.Replaying());
    EXPECT_FALSE(w.LabelProblems->isVisible());
    // The first sweep at once; then, ticking on, every sweep whose time has come.
    auto shownCount = [&] { return w.Shown().Size(); };
    EXPECT_EQ(shownCount(), 1u);
    std::int64_t now = t0 + 100'000;
    w.TakeIn(nullptr, m, false, now);  // the clock starts with the first tick after opening
    const std::vector<std::pair<std::int64_t, std::size_t>> steps = {{30, 2}, {20, 3}, {340, 3}, {10, 4}, {1049, 5}, {1, 6}};
    for (auto [dt, expected] : steps) {
        now += dt;
        w.TakeIn(nullptr, m, false, now);
        ASSERT_EQ(shownCount(), expected) << dt;
        const recording::Sweep& s = w.Shown().Newest();
        EXPECT_EQ(s.timeMs, times[expected - 1]);
        EXPECT_EQ(s.frame, Frame(static_cast<int>(expected - 1)));
        // The trace as the main chart draws it.
        ASSERT_EQ(w.Trace->count(), panorama::kSamples);
        EXPECT_FLOAT_EQ(w.Trace->at(5).y(), recording::SweepLevels(s)[5]);
        EXPECT_EQ(w.Trace->at(5).x(), panorama::SampleX(11550, 5, 10));
    }
    // ×4 from the slider's start, and the slider follows.
    w.SliderTime->setValue(0);
    w.SetSpeed(4);
    w.SetPaused(false);
    w.TakeIn(nullptr, m, false, now += 1);    // the clock starts again after a seek
    w.TakeIn(nullptr, m, false, now += 100);  // 400 ms of the recording
    EXPECT_EQ(shownCount(), 4u);
    EXPECT_EQ(w.SliderTime->value(), 3);
    // The whole recording exports in the trace export's form, one block a sweep.
    const std::string csv = w.ExportCsv(0, 5);
    std::size_t blocks = 0;
    for (std::size_t at = 0; (at = csv.find("Дата и время;", at)) != std::string::npos; ++at) ++blocks;
    EXPECT_EQ(blocks, 6u);
    w.BackToLive();
    EXPECT_FALSE(w.Replaying());
}

TEST_F(WindowTest, AnalysisTruncatedRecordingShowsWhatIsReadable) {
    AnalysisWindow w([](int) { return QString(); });
    recording::Encoder e(1000);
    recording::Meaning m;
    m.sample = {10, 950, 11550, 0, 0xC000, 0, 9, 4300};
    for (int i = 0; i < 3; ++i) e.AddSweep({1000 + 25 * i, Frame(i), m});
    std::string bytes = e.Take();
    bytes.resize(bytes.size() - 7);
    w.Replay(bytes);
    ASSERT_TRUE(w.Replaying());
    EXPECT_EQ(w.Shown().Size(), 1u);
    EXPECT_FALSE(w.LabelProblems->text().isEmpty());
    w.Replay("garbage");  // nothing readable: says so, keeps what it showed
    EXPECT_TRUE(w.LabelProblems->text().contains(QStringLiteral("не запись")));
}
