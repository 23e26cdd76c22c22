// The analysis window: the waterfall follows the main window's sweeps, and a
// recording replays exactly the sweeps it holds, each at its time.
#include "Fixture.h"
#include "app/modules/AnalysisWindow.h"
#include "app/Features.h"
#include "app/modules/Analysis.h"
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
    form->Features->Item("ActionAnalysis")->trigger();
    AnalysisWindow* w = form->Features->Find<AnalysisFeature>()->Window.get();
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

// Sweeps are kept and recorded with the window never opened ("Запись" in
// the chart's menu), and the window opens on the history already there.
// Its own "Запись" pressed as a screen reader presses it, through its
// toggle action (no click): a refused file leaves it up, a chosen one
// records, and the next press stops.
TEST_F(WindowTest, AnalysisRecordsFromTheMenuOrItsButtonAsAScreenReaderPressesIt) {
    const auto dir = std::filesystem::temp_directory_path() / ("analysis_a11y_" + std::to_string(QCoreApplication::applicationPid()));
    std::filesystem::create_directories(dir);
    const auto file = [&](const char* name) { return QString::fromStdString((dir / name).string()); };
    auto* analysis = form->Features->Find<AnalysisFeature>();
    QAction* item = form->Features->Item("ActionRecord");
    form->SpeedButton1->setChecked(true);
    sim::MeterAt(meter).scriptedSweeps = {Frame(1), Frame(2), Frame(3)};
    dialogs.fileChoices = {file("menu.vk3rec")};
    item->trigger();
    EXPECT_TRUE(analysis->Recording());
    for (int k = 0; k < 3; ++k) form->ButtonRead_PANOClick();
    item->trigger();
    EXPECT_FALSE(analysis->Recording());
    EXPECT_GT(std::filesystem::file_size(dir / "menu.vk3rec"), 3u * 128);
    EXPECT_EQ(analysis->Window, nullptr);

    analysis->ShowWindow();
    AnalysisWindow& w = *analysis->Window;
    EXPECT_EQ(w.Waterfall->newest(), std::optional<std::uint64_t>(2));
    const auto press = [&] {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w.ButtonRecord);
        ASSERT_TRUE(a && a->actionInterface());
        a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    };
    dialogs.fileChoices = {QString()};  // the file dialog cancelled
    press();
    EXPECT_FALSE(analysis->Recording());
    EXPECT_FALSE(w.ButtonRecord->isChecked());
    dialogs.fileChoices = {file("a.vk3rec")};
    press();
    EXPECT_TRUE(analysis->Recording());
    EXPECT_TRUE(w.ButtonRecord->isChecked());
    EXPECT_TRUE(item->isChecked());
    press();
    EXPECT_FALSE(analysis->Recording());
    EXPECT_FALSE(w.ButtonRecord->isChecked() || item->isChecked());
    EXPECT_TRUE(dialogs.messages.isEmpty() && dialogs.errors.isEmpty());
    std::filesystem::remove_all(dir);
}

TEST_F(WindowTest, AnalysisReplayShowsTheRecordedSweepsAtTheirTimes) {
    live::Pipeline& pipeline = form->Features->Pipeline();
    AnalysisWindow w(pipeline, [](int) { return QString(); });
    w.show();
    const auto dir = std::filesystem::temp_directory_path() / ("analysis_" + std::to_string(QCoreApplication::applicationPid()));
    std::filesystem::create_directories(dir);
    const QString file = QString::fromStdString((dir / "r.vk3rec").string());
    recording::Meaning m;
    m.sample = {10, 950, 11550, 0, 0xC000, 0, 9, 4300};
    m.levelMin = 45;
    m.levelMax = 125;
    const auto tick = [&](const panorama::SweepFrame* f, std::int64_t nowMs) {
        live::TickIn in;
        in.result = f ? panorama::TickResult::Swept : panorama::TickResult::Idle;
        in.frame = f;
        in.meaning = m.sample;
        in.scale = panorama::ComputeLevelScale(m.sample.oporPosition, m.sample.koefPosition, m.sample.unitIndex);
        in.levelMin = m.levelMin;
        in.levelMax = m.levelMax;
        in.nowMs = nowMs;
        w.Take(pipeline.Take(in));
    };
    const std::int64_t t0 = 1'765'000'000'000;
    tick(nullptr, t0 - 10);  // a tick without a sweep: the recording starts at its time
    ASSERT_TRUE(pipeline.StartRecording(file.toStdString(), 0));
    const std::vector<std::int64_t> times = {t0, t0 + 25, t0 + 50, t0 + 400, t0 + 425, t0 + 1450};
    for (std::size_t i = 0; i < times.size(); ++i) {
        const panorama::SweepFrame f = Frame(static_cast<int>(i));
        tick(&f, times[i]);
    }
    ASSERT_TRUE(pipeline.StopRecording());

    ASSERT_TRUE(w.OpenRecording(file));
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(w.Replaying());
    EXPECT_FALSE(w.LabelProblems->isVisible());
    // The first sweep at once; then, ticking on, every sweep whose time has come.
    auto shownCount = [&] { return w.Shown().Size(); };
    EXPECT_EQ(shownCount(), 1u);
    std::int64_t now = t0 + 100'000;
    tick(nullptr, now);  // the clock starts with the first tick after opening
    const std::vector<std::pair<std::int64_t, std::size_t>> steps = {{30, 2}, {20, 3}, {340, 3}, {10, 4}, {1049, 5}, {1, 6}};
    for (auto [dt, expected] : steps) {
        now += dt;
        tick(nullptr, now);
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
    tick(nullptr, now += 1);    // the clock starts again after a seek
    tick(nullptr, now += 100);  // 400 ms of the recording
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
    AnalysisWindow w(form->Features->Pipeline(), [](int) { return QString(); });
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
