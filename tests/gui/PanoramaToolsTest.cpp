// The installer's tools on the panorama chart, in the real window against a
// simulated meter that answers known sweeps.
#include "Fixture.h"

#include "app/modules/Sky.h"
#include "app/Features.h"
#include "app/modules/Holds.h"
#include "toolkit/Chart.h"
#include "toolkit/MaskEdit.h"
#include "toolkit/RadioGroup.h"
#include "toolkit/StringGrid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

using Frame = std::array<std::uint8_t, 128>;

Frame Sweep(const std::function<int(int)>& sample) {
    Frame f{};
    for (int i = 0; i < 128; ++i) f[i] = static_cast<std::uint8_t>(sample(i));
    return f;
}

// A level at the default scale in dBuV.
float L(int sample) { return panorama::Level(static_cast<std::uint8_t>(sample), 9, 0.43f); }

}  // namespace

class PanoramaToolsWindow : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        tools = form->Features.get();
        form->SpeedButton1->setChecked(true);
    }
    void Script(std::vector<Frame> sweeps) {
        sim::MeterAt(meter).scriptedSweeps = std::move(sweeps);
        sim::MeterAt(meter).nextScripted = 0;
    }
    void Tick() { form->ButtonRead_PANOClick(); }
    HoldsFeature* Holds() const { return tools->Find<HoldsFeature>(); }
    FeatureSet* tools = nullptr;
};

TEST_F(PanoramaToolsWindow, TheChartsMenuOffersEveryItemOnItsOwnShortcut) {
    form->show();
    // The right button over the chart opens the menu.
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(300, 200), form->Chart1->mapToGlobal(QPoint(300, 200)));
    QApplication::sendEvent(form->Chart1, &click);
    EXPECT_TRUE(tools->Menu->isVisible());
    tools->Menu->close();

    QStringList texts;
    for (QAction* a : tools->Menu->actions())
        if (!a->isSeparator()) texts << a->text();
    EXPECT_EQ(texts, (QStringList{"Настройки прибора", "Удержание максимума", "Удержание минимума", "Усреднение",
                                  "Сбросить", "Маркер пика", "Стоп-кадр", "Метки транспондеров", "Звук наведения",
                                  "Сохранить снимок…", "Сохранить трассу…", "Отчёт…", "Анализ…", "Запись",
                                  "Найти транспондеры", "Определить спутник", "Загрузить список спутников…",
                                  "Навести на спутник…"}));
    QStringList depths;
    for (QAction* a : tools->Menu->actions())
        if (a->menu())
            for (QAction* d : a->menu()->actions()) depths << d->text();
    EXPECT_EQ(depths, (QStringList{"4", "8", "16", "32"}));

    // The one table of the keys: every item has a key of its own, a
    // function key with at most Shift or Ctrl: none types a character into
    // an edit, and none is F1, F4 (a combo box's list) or F10 (the window
    // menu). Each is named for assistive technology by its text.
    EXPECT_EQ(tools->Items().size(), 21);
    QSet<QKeySequence> seen;
    for (QAction* a : tools->Items()) {
        const QKeySequence k = a->shortcut();
        ASSERT_EQ(k.count(), 1) << a->text().toStdString();
        const Qt::Key key = k[0].key();
        const Qt::KeyboardModifiers mods = k[0].keyboardModifiers();
        EXPECT_TRUE(key >= Qt::Key_F2 && key <= Qt::Key_F12 && key != Qt::Key_F4 && key != Qt::Key_F10)
            << a->text().toStdString();
        EXPECT_TRUE(mods == Qt::NoModifier || mods == Qt::ShiftModifier || mods == Qt::ControlModifier)
            << a->text().toStdString();
        EXPECT_FALSE(a->text().isEmpty() || a->objectName().isEmpty());
        EXPECT_FALSE(a->isChecked()) << "off at start: " << a->text().toStdString();
        EXPECT_FALSE(seen.contains(k)) << a->text().toStdString();
        seen.insert(k);
        EXPECT_TRUE(form->actions().contains(a)) << "works with the menu closed";
    }
}

TEST_F(PanoramaToolsWindow, EachItemTogglesItsTool) {
    const auto& s = tools->Pipeline().Traces();
    EXPECT_FALSE(s.MaxHold() || s.MinHold() || s.Frozen() || s.Average() != 0);
    tools->Item("ActionMaxHold")->trigger();
    EXPECT_TRUE(s.MaxHold());
    tools->Item("ActionMinHold")->trigger();
    EXPECT_TRUE(s.MinHold());
    tools->Item("ActionFreeze")->trigger();
    EXPECT_TRUE(s.Frozen());
    for (std::size_t k = 0; k < 4; ++k) {
        tools->Item(QStringLiteral("ActionAverage%1").arg(panorama::kAverageDepths[k]))->trigger();
        EXPECT_EQ(s.Average(), panorama::kAverageDepths[k]);
        for (std::size_t j = 0; j < 4; ++j) EXPECT_EQ(tools->Item(QStringLiteral("ActionAverage%1").arg(panorama::kAverageDepths[j]))->isChecked(), j == k);
    }
    tools->Item(QStringLiteral("ActionAverage%1").arg(panorama::kAverageDepths[3]))->trigger();  // the depth in use again: off
    EXPECT_EQ(s.Average(), 0);

    Script({Sweep([](int i) { return i; })});
    tools->Item("ActionFreeze")->trigger();
    Tick();
    tools->Item("ActionPeak")->trigger();
    EXPECT_TRUE(form->Chart1->marker().has_value());
    tools->Item("ActionPeak")->trigger();
    EXPECT_FALSE(form->Chart1->marker().has_value());
    form->StringGrid1->setCell(0, 1, "Ast 19E");
    for (int c = 1; c < 5; ++c) form->StringGrid1->setCell(c, 1, QStringList{"", "11766", "H", "27500", "1"}[c]);
    tools->Item("ActionMarks")->trigger();
    EXPECT_EQ(form->Chart1->marks().size(), 1);
    tools->Item("ActionMarks")->trigger();
    EXPECT_TRUE(form->Chart1->marks().isEmpty());
    for (QAction* a : {tools->Item("ActionMaxHold"), tools->Item("ActionMinHold")}) a->trigger();
    EXPECT_FALSE(s.MaxHold() || s.MinHold());
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('\n').toStdString();
}

TEST_F(PanoramaToolsWindow, ShortcutsWorkWhileTheUserTypesInAnEdit) {
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->MaskEdit1->setFocus();
    const QString before = form->MaskEdit1->text();
    QTest::keyClick(form->MaskEdit1, Qt::Key_F2);
    EXPECT_TRUE(tools->Pipeline().Traces().MaxHold());
    QTest::keyClick(form->MaskEdit1, Qt::Key_F6);
    EXPECT_EQ(tools->Pipeline().Traces().Average(), 8);
    QTest::keyClick(form->MaskEdit1, Qt::Key_F12, Qt::ShiftModifier);  // save trace: nothing swept yet
    EXPECT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(form->MaskEdit1->text(), before) << "a shortcut types nothing";
    // Typing still types.
    form->MaskEdit1->setCursorPosition(0);
    QTest::keyClick(form->MaskEdit1, Qt::Key_2);
    EXPECT_NE(form->MaskEdit1->text(), before);
    EXPECT_TRUE(tools->Pipeline().Traces().MaxHold());
}

TEST_F(PanoramaToolsWindow, HoldsAverageAndPeakOverSweeps) {
    Script({Sweep([](int i) { return 60 + i % 50; }), Sweep([](int i) { return 160 - i % 50; }),
            Sweep([](int i) { return i == 70 ? 250 : 100; })});
    tools->Item("ActionMaxHold")->trigger();
    tools->Item("ActionMinHold")->trigger();
    tools->Item("ActionPeak")->trigger();
    for (int k = 0; k < 3; ++k) Tick();
    ASSERT_EQ(Holds()->MaxSeries->count(), 128);
    ASSERT_EQ(Holds()->MinSeries->count(), 128);
    for (int i = 0; i < 128; ++i) {
        const int a = 60 + i % 50, b = 160 - i % 50, c = i == 70 ? 250 : 100;
        ASSERT_EQ(Holds()->MaxSeries->at(i).y(), L(std::max({a, b, c}))) << i;
        ASSERT_EQ(Holds()->MinSeries->at(i).y(), L(std::min({a, b, c}))) << i;
        ASSERT_EQ(Holds()->MaxSeries->at(i).x(), form->Series2->at(i).x());
    }
    // The peak of the live trace: sample 70, one step left of 11550 + 70 x 10.
    ASSERT_TRUE(form->Chart1->marker());
    EXPECT_EQ(form->Chart1->marker()->value, QPointF(11550 + 690, L(250)));
    EXPECT_EQ(form->Chart1->marker()->label, "103 dBuV  12240 МГц  ПЧ 1640 МГц");

    // The average shows on the live trace; the peak follows it.
    tools->Item(QStringLiteral("ActionAverage%1").arg(panorama::kAverageDepths[0]))->trigger();  // 4
    Script({Sweep([](int) { return 100; }), Sweep([](int) { return 120; })});
    Tick();
    Tick();
    EXPECT_FLOAT_EQ(form->Series2->at(5).y(), (110 - 9) * 0.43f);
    EXPECT_EQ(form->Chart1->marker()->value.x(), 11550) << "a flat trace: the first sample on the axis";
    // Reset clears the holds at once.
    tools->Item("ActionReset")->trigger();
    EXPECT_EQ(Holds()->MaxSeries->count(), 0);
    EXPECT_EQ(Holds()->MinSeries->count(), 0);
    Tick();
    EXPECT_EQ(Holds()->MaxSeries->at(0).y(), Holds()->MinSeries->at(0).y());
}

TEST_F(PanoramaToolsWindow, HoldsResetWheneverTheSamplesMeanSomethingElse) {
    struct Change {
        const char* what;
        std::function<void(TForm1&)> make;
    };
    const std::vector<Change> changes = {
        {"step", [](TForm1& f) { f.TrackBarStep->setValue(f.TrackBarStep->value() == 10 ? 9 : 10); }},
        {"shift", [](TForm1& f) { f.ScrollBar3->setValue(f.ScrollBar3->value() - 10); }},
        {"oscillator", [](TForm1& f) { f.RadioGroupFL0->setItemIndex(f.RadioGroupFL0->itemIndex() == 1 ? 3 : 1); }},
        {"band", [](TForm1& f) { f.RadioGroupDiap->setItemIndex(1 - f.RadioGroupDiap->itemIndex()); }},
        {"polarisation", [](TForm1& f) { f.RadioGroupPol->setItemIndex(1 - f.RadioGroupPol->itemIndex()); }},
        {"unit", [](TForm1& f) { f.RadioGroupEdin->setItemIndex(1 - f.RadioGroupEdin->itemIndex()); }},
        {"reference bar", [](TForm1& f) { f.ScrollBar_Opor->setValue(f.ScrollBar_Opor->value() + 1); }},
        {"scale bar", [](TForm1& f) { f.ScrollBar_Koef->setValue(f.ScrollBar_Koef->value() + 10); }},
        {"+9 dB", [](TForm1& f) { f.CheckBoxAP4->setChecked(!f.CheckBoxAP4->isChecked()); }},
        {"-20 dB", [](TForm1& f) { f.CheckBox_20->setChecked(!f.CheckBox_20->isChecked()); }},
    };
    Script({Sweep([](int) { return 200; }), Sweep([](int) { return 100; })});
    tools->Item("ActionMaxHold")->trigger();
    tools->Item(QStringLiteral("ActionAverage%1").arg(panorama::kAverageDepths[0]))->trigger();
    for (const Change& c : changes) {
        form->SpeedButton1->setChecked(true);
        Tick();
        Tick();
        ASSERT_EQ(Holds()->MaxSeries->count(), 128) << c.what;
        ASSERT_GT(tools->Pipeline().Traces().shown().averaged, 1) << c.what;
        c.make(*form);
        // The next tick notes it, swept or not: the panorama off here.
        form->SpeedButton1->setChecked(false);
        Tick();
        EXPECT_EQ(Holds()->MaxSeries->count(), 0) << c.what;
        form->SpeedButton1->setChecked(true);
        Tick();
        EXPECT_EQ(tools->Pipeline().Traces().shown().averaged, 1) << c.what;
        EXPECT_EQ(Holds()->MaxSeries->count(), 128) << c.what;
    }
    // Only the view of the level axis changes: the holds stay.
    Tick();
    form->ScrollBar1->setValue(form->ScrollBar1->value() + 5);
    form->ScrollBar2->setValue(form->ScrollBar2->value() - 5);
    Tick();
    EXPECT_EQ(tools->Pipeline().Traces().shown().averaged, 3);
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('\n').toStdString();
}

TEST_F(PanoramaToolsWindow, FreezeStopsTheShownTracesWhileTheMeterIsStillSwept) {
    Script({Sweep([](int) { return 100; })});
    tools->Item("ActionMaxHold")->trigger();
    Tick();
    const QList<QPointF> live = form->Series2->points(), held = Holds()->MaxSeries->points();
    tools->Item("ActionFreeze")->trigger();
    Script({Sweep([](int) { return 150; })});
    sim::ClearLog();
    for (int k = 0; k < 3; ++k) Tick();
    EXPECT_EQ(sim::LogOf(sim::Kind::Sweep).size(), 3u) << "the sweeps go on";
    EXPECT_EQ(form->Series2->points(), live);
    EXPECT_EQ(Holds()->MaxSeries->points(), held);
    form->RadioGroupStyle->setItemIndex(0);
    Tick();
    EXPECT_EQ(form->Series2->points(), live) << "not even the style changes the frozen picture";
    tools->Item("ActionFreeze")->trigger();
    Tick();
    EXPECT_EQ(form->Series1->at(3).y(), L(150));
    EXPECT_EQ(Holds()->MaxSeries->at(3).y(), L(150));
}

TEST_F(PanoramaToolsWindow, TransponderMarksFollowTableAxisAndPolarisation) {
    auto row = [this](int r, const QStringList& cells) {
        for (int c = 0; c < 5; ++c) form->StringGrid1->setCell(c, r, cells[c]);
    };
    row(1, {"Ast 19E", "11766", "H", "27500", "2"});
    row(2, {"Hot 13E", "12000", "V", "27500", "1"});
    row(3, {"Exp 96E", "11000", "H", "27500", "1"});
    row(4, {"Sir  5E", "12500", "L", "27500", ""});  // not stored
    tools->Item("ActionMarks")->trigger();
    auto marks = [this] {
        QStringList out;
        for (const toolkit::ChartMark& m : form->Chart1->marks()) out << QString::number(m.x) + " " + m.label;
        return out;
    };
    EXPECT_EQ(marks(), QStringList{"11766 Ast 19E"});
    row(4, {"Sir  5E", "12500", "L", "27500", "1"});
    form->SpeedButton1->setChecked(false);
    Tick();
    EXPECT_EQ(marks(), (QStringList{"11766 Ast 19E", "12500 Sir  5E"}));
    form->RadioGroupPol->setItemIndex(1);
    Tick();
    EXPECT_EQ(marks(), QStringList{"12000 Hot 13E"});
    form->RadioGroupPol->setItemIndex(0);
    form->RadioGroupDiap->setItemIndex(1);  // 10700..11980
    Tick();
    EXPECT_EQ(marks(), (QStringList{"11000 Exp 96E", "11766 Ast 19E"}));
}

TEST_F(PanoramaToolsWindow, SavesThePictureAndTheTrace) {
    const fs::path dir = fs::temp_directory_path() / ("panorama-saves-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    Script({Sweep([](int i) { return 100 + i; })});
    tools->Item("ActionMaxHold")->trigger();
    Tick();

    const QString png = QString::fromStdString((dir / "снимок.png").string());
    dialogs.fileChoices = {png};
    tools->Item("ActionSaveSnapshot")->trigger();
    ASSERT_EQ(dialogs.fileDialogs.size(), 1);
    const QRegularExpression stamp("^Спектр \\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d\\.png$");
    EXPECT_TRUE(stamp.match(dialogs.fileDialogs[0].defaultName).hasMatch())
        << dialogs.fileDialogs[0].defaultName.toStdString();
    EXPECT_EQ(dialogs.fileDialogs[0].defaultSuffix, "png");
    QImage picture(png);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(673, 425));
    EXPECT_EQ(picture.convertToFormat(QImage::Format_RGB32),
              form->Chart1->grab().toImage().convertToFormat(QImage::Format_RGB32));

    const QString csv = QString::fromStdString((dir / "трасса.csv").string());
    dialogs.fileChoices = {csv};
    tools->Item("ActionSaveTrace")->trigger();
    EXPECT_TRUE(dialogs.fileDialogs[1].defaultName.endsWith(".csv"));
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.startsWith("\xEF\xBB\xBF" "Дата и время;"));
    EXPECT_TRUE(text.contains("Гетеродин;9750 - 10600\r\nГетеродин, МГц;10600\r\n"));
    EXPECT_TRUE(text.contains("Частота, МГц;ПЧ, МГц;Отсчёт;Уровень, dBuV;Максимум, dBuV\r\n11540;940;100;39,13;39,13\r\n"));
    EXPECT_EQ(text.count('\n'), 14 + 128);
    EXPECT_TRUE(dialogs.messages.isEmpty());

    // An existing file is replaced only after a Yes.
    dialogs.fileChoices = {csv};
    dialogs.answers = {false};
    Tick();
    tools->Item("ActionSaveTrace")->trigger();
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_EQ(dialogs.questions[0], "ВНИМАНИЕ: Файл уже существует. Заменить его?");
    f.seek(0);
    EXPECT_EQ(f.readAll(), text);
    // Cancelled dialogs do nothing.
    tools->Item("ActionSaveTrace")->trigger();
    tools->Item("ActionSaveSnapshot")->trigger();
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
    f.close();  // Windows removes no file that is open
    fs::remove_all(dir);
}

TEST_F(PanoramaToolsWindow, AFailingSaveSaysSoAndChangesNothingElse) {
    const fs::path dir = fs::temp_directory_path() / ("panorama-fails-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "folder.csv");
    Script({Sweep([](int i) { return 100 + i; })});
    tools->Item("ActionMaxHold")->trigger();
    Tick();
    const QList<QPointF> held = Holds()->MaxSeries->points();
    for (const fs::path& bad : {dir / "missing" / "x.csv", dir / "folder.csv"}) {
        dialogs.messages.clear();
        dialogs.fileChoices = {QString::fromStdString(bad.string())};
        tools->Item("ActionSaveTrace")->trigger();
        EXPECT_EQ(dialogs.messages, QStringList{"Ошибка записи файла"}) << bad;
        dialogs.fileChoices = {QString::fromStdString(bad.string())};
        tools->Item("ActionSaveSnapshot")->trigger();
        EXPECT_EQ(dialogs.messages.size(), 2) << bad;
    }
    EXPECT_TRUE(dialogs.questions.isEmpty()) << "a folder is no file to replace";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::is_empty(dir / "folder.csv"));
    EXPECT_EQ(Holds()->MaxSeries->points(), held);
    EXPECT_TRUE(tools->Pipeline().Traces().MaxHold());
    EXPECT_TRUE(dialogs.errors.isEmpty());
    fs::remove_all(dir);
}

TEST_F(PanoramaToolsWindow, EveryToolOnAndOffAgainLeavesTheChartAsItWas) {
    form->show();
    const Frame plain = Sweep([](int i) { return 120 + (i * 7) % 40; });
    Script({plain});
    Tick();
    QCoreApplication::processEvents();
    const QImage before = form->Chart1->grab().toImage();

    form->StringGrid1->setCell(0, 1, "Ast 19E");
    for (int c = 1; c < 5; ++c) form->StringGrid1->setCell(c, 1, QStringList{"", "11766", "H", "27500", "1"}[c]);
    for (QAction* a : {tools->Item("ActionMaxHold"), tools->Item("ActionMinHold"), tools->Item(QStringLiteral("ActionAverage%1").arg(panorama::kAverageDepths[1])), tools->Item("ActionPeak"),
                       tools->Item("ActionMarks")})
        a->trigger();
    Script({Sweep([](int i) { return 200 - i; }), Sweep([](int i) { return 50 + i; })});
    for (int k = 0; k < 4; ++k) Tick();
    tools->Item("ActionFreeze")->trigger();
    Tick();
    QCoreApplication::processEvents();
    EXPECT_NE(form->Chart1->grab().toImage(), before) << "the tools show";

    for (QAction* a : {tools->Item("ActionFreeze"), tools->Item("ActionMaxHold"), tools->Item("ActionMinHold"), tools->Item(QStringLiteral("ActionAverage%1").arg(panorama::kAverageDepths[1])),
                       tools->Item("ActionPeak"), tools->Item("ActionMarks")})
        a->trigger();
    Script({plain});
    Tick();
    QCoreApplication::processEvents();
    EXPECT_EQ(form->Chart1->grab().toImage(), before);
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('\n').toStdString();
}
