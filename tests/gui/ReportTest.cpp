// The installation report from the real window: read back with poppler's
// pdftotext and pdftoppm.
#include "Fixture.h"

#include "app/Features.h"
#include "app/modules/Report.h"
#include "toolkit/Chart.h"
#include "toolkit/StringGrid.h"

#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QHelpEvent>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTimeZone>
#include <QToolButton>
#include <QToolTip>

#include <filesystem>

namespace fs = std::filesystem;

class ReportWindow : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        tools = form->Features.get();
        report = tools->Find<ReportFeature>();
        dir = fs::temp_directory_path() / ("report-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        const QStringList rows[] = {{"Ast 19E", "11766", "H", "27500", "2"},
                                    {"His 30W", "11000", "V", "27500", "1"},
                                    {"Ech 61W", "12000", "H", "27500", "3"}};  // below the horizon
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 5; ++c) form->StringGrid1->setCell(c, r + 1, rows[r][c]);
        std::vector<std::array<std::uint8_t, 128>> sweep(1);
        for (int i = 0; i < 128; ++i) sweep[0][i] = static_cast<std::uint8_t>(100 + (i % 32) * 3);
        for (int i = 70; i <= 75; ++i) sweep[0][i] = 220;  // a transponder to find
        sim::MeterAt(meter).scriptedSweeps = sweep;
        form->SpeedButton1->setChecked(true);
        tools->Item("ActionMaxHold")->trigger();
        tools->Item("ActionPeak")->trigger();
        form->ButtonRead_PANOClick();
        report->AskJob = [] {
            return ReportFeature::Job{"Монтаж тарелки", "ул. Сумская, 1, Харьков", "Иван Петренко"};
        };
    }
    void TearDown() override {
        fs::remove_all(dir);
        WindowTest::TearDown();
    }
    // Runs a poppler tool; its standard output.
    static QByteArray Poppler(const QString& tool, const QStringList& args) {
        const QString exe = QStandardPaths::findExecutable(tool);
        if (exe.isEmpty()) {
            ADD_FAILURE() << tool.toStdString() << " missing (poppler-utils)";
            return {};
        }
        QProcess p;
        p.start(exe, args);
        p.waitForFinished(60000);
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return p.readAllStandardOutput();
    }
    QString Path(const char* name) const { return QString::fromStdString((dir / name).string()); }
    FeatureSet* tools = nullptr;
    ReportFeature* report = nullptr;
    fs::path dir;
};

TEST_F(ReportWindow, HoldsEveryFieldTheTableAndTheChart) {
#ifdef _WIN32
    GTEST_SKIP() << "poppler is a Linux test tool";
#endif
    EXPECT_EQ(tools->Item("ActionReport")->text(), "Отчёт…");
    EXPECT_EQ(tools->Item("ActionReport")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F12));
    EXPECT_TRUE(form->actions().contains(tools->Item("ActionReport")));
    // The transponders found and the satellite named are in the picture
    // (brackets, label) and in the lines below it.
    tools->Item("ActionFind")->trigger();
    tools->Item("ActionName")->trigger();
    // The chart and the lines are taken as they were when the report was
    // asked for.
    report->AskJob = [this] {
        tools->Item("ActionPeak")->trigger();
        tools->Item("ActionFind")->trigger();
        return ReportFeature::Job{"Монтаж тарелки", "ул. Сумская, 1, Харьков", "Иван Петренко"};
    };
    dialogs.fileChoices = {Path("отчёт.pdf")};
    tools->Item("ActionReport")->trigger();
    ASSERT_EQ(dialogs.fileDialogs.size(), 1);
    EXPECT_TRUE(QRegularExpression("^Отчёт \\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d\\.pdf$")
                    .match(dialogs.fileDialogs[0].defaultName).hasMatch());
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('\n').toStdString();

    const QString text = QString::fromUtf8(Poppler("pdftotext", {"-layout", Path("отчёт.pdf"), "-"}));
    for (const char* expected :
         {"Работа: Монтаж тарелки", "Адрес: ул. Сумская, 1, Харьков", "Монтажник: Иван Петренко",
          "Место установки: 50,0° с. ш., 36,0° в. д.", "Спектр, dBuV", "Маркер пика: ",
          "Спутник: Спутник не определён", "Найдено транспондеров: "})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << text.toStdString();
    EXPECT_TRUE(QRegularExpression("Дата и время: \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d").match(text).hasMatch());
    EXPECT_TRUE(QRegularExpression("Ast 19E +19° в. д. +11766 +H +27500 +2 +−18,8° +201,8° +30,4° +\\+13,9°")
                    .match(text).hasMatch()) << text.toStdString();
    EXPECT_TRUE(QRegularExpression("His 30W +30° з. д. +11000 +V +27500 +1 +−71,3° +251,2° +6,5° +\\+37,8°")
                    .match(text).hasMatch());
    EXPECT_TRUE(QRegularExpression("Ech 61W .* ниже +горизонта").match(text).hasMatch());
    EXPECT_TRUE(QRegularExpression("\nPages: +1\n").match(Poppler("pdfinfo", {Path("отчёт.pdf")})).hasMatch());

    // The first page shows the chart: the pale yellow live trace, the red
    // max hold, the orange brackets and the satellite's label, drawn at
    // print resolution.
    Poppler("pdftoppm", {"-r", "100", "-f", "1", "-l", "1", "-png", "-singlefile", Path("отчёт.pdf"), Path("page")});
    const QImage page(Path("page.png"));
    ASSERT_FALSE(page.isNull());
    int yellow = 0, red = 0, orange = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            yellow += c.red() > 240 && c.green() > 240 && c.blue() > 100 && c.blue() < 160;
            red += c.red() > 240 && c.green() > 80 && c.green() < 115 && c.blue() > 80 && c.blue() < 115;
            orange += c.red() > 230 && c.green() > 140 && c.green() < 180 && c.blue() < 60;
        }
    EXPECT_GT(yellow, 20000) << "the filled trace";
    EXPECT_GT(red, 200) << "the max hold";
    EXPECT_GT(orange, 20) << "the brackets";
    // The label's text, white on the plot's top left corner.
    const QStringList words = QString::fromUtf8(Poppler("pdftotext", {"-f", "1", "-l", "1", Path("отчёт.pdf"), "-"}))
                                  .split(QRegularExpression("\\s+"));
    EXPECT_GE(words.count("определён"), 2) << "the label in the picture and the line below it";
}

TEST_F(ReportWindow, SameWindowAndClockGiveTheSameBytes) {
    // An offset other than this machine's: the writer's own date is replaced,
    // and the cross-reference table still points at every object.
    const QDateTime when(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone(3 * 3600));
    const ReportFeature::Job job{"Работа", "Адрес", "Монтажник"};
    const QByteArray a = report->Pdf(job, when);
    QTest::qWait(1100);
    EXPECT_EQ(report->Pdf(job, when), a);
    EXPECT_TRUE(a.contains("/CreationDate (D:20260102030405+03'00')"));
    const qsizetype xref = a.mid(a.lastIndexOf("startxref") + 10).split('\n')[0].trimmed().toLongLong();
    ASSERT_TRUE(a.mid(xref).startsWith("xref"));
    const QList<QByteArray> lines = a.mid(xref).split('\n');
    int objects = 0;
    for (int i = 3; i < lines.size() && lines[i].endsWith("n "); ++i, ++objects)
        EXPECT_TRUE(a.mid(lines[i].left(10).toLongLong()).startsWith(QByteArray::number(i - 2) + " 0 obj")) << i;
    EXPECT_GT(objects, 5);
    EXPECT_NE(report->Pdf({"Другая", "", ""}, when), a);
}

TEST_F(ReportWindow, AFailingSaveSaysSoAndLeavesTheFolderAsItWas) {
    fs::create_directories(dir / "folder.pdf");
    for (const fs::path& bad : {dir / "missing" / "x.pdf", dir / "folder.pdf"}) {
        dialogs.messages.clear();
        dialogs.fileChoices = {QString::fromStdString(bad.string())};
        tools->Item("ActionReport")->trigger();
        EXPECT_EQ(dialogs.messages, QStringList{"Ошибка записи файла"}) << bad;
    }
    // A cancelled job dialog asks for no file.
    report->AskJob = [] { return std::optional<ReportFeature::Job>(); };
    tools->Item("ActionReport")->trigger();
    EXPECT_EQ(dialogs.fileDialogs.size(), 2);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::is_empty(dir / "folder.pdf"));
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(ReportWindow, NameCellsTellWhereToPoint) {
    form->show();
    QWidget* viewport = form->StringGrid1->viewport();
    const QRect cell = form->StringGrid1->visualItemRect(form->StringGrid1->item(1, 0));
    QHelpEvent help(QEvent::ToolTip, cell.center(), viewport->mapToGlobal(cell.center()));
    QCoreApplication::sendEvent(viewport, &help);
    EXPECT_EQ(QToolTip::text(), "Ast 19E — 19° в. д.\nАзимут 201,8°, угол места 30,4°, поворот LNB +13,9°\n"
                                "Угол мотора −18,8°");
    QToolTip::hideText();
}
