// A long, seeded run of panorama ticks against a meter that comes and goes
// and answers badly, with the user's operations in between: settings read and
// write, file open and save, a firmware upload. While any of their boxes is
// "open" the ticks go on beside the operation's own handle, as the modal
// loop delivers them. After every tick and operation the test checks that no
// handle was left open, that SettingsBuf holds either what it held or one
// complete block, and that the editor shows either what it showed or one
// complete block. Memory must stay flat over the run.
//
// The schedule comes from a seed (SOAK_SEED in the environment, else a fixed
// one) that the test prints, so a failure replays exactly.
#include "Fixture.h"

#include "common/Cp1251.h"
#include "firmware/HexLoader.h"
#include "firmware/Upload.h"
#include "panorama/Panorama.h"
#include "settings/Editor.h"
#include "settings/Exchange.h"
#include "toolkit/Chart.h"
#include "toolkit/MaskEdit.h"
#include "toolkit/RadioGroup.h"
#include "toolkit/SpinEdit.h"
#include "toolkit/StringGrid.h"

#include <QCheckBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QToolButton>

#include <fcntl.h>
#include <malloc.h>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#include <psapi.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kDefaultSeed = 20261208;
constexpr int kDefaultSteps = 8000;   // top-level steps of the schedule
constexpr int kWarmUpSteps = 400;     // memory is measured from here on
constexpr long kMaxGrowthKiB = 8 * 1024;
// Heap in use may grow by a little bookkeeping (the simulated meter keeps a
// word for every handle it opened), never by anything a tick leaks: a leak of
// even a few dozen bytes a tick breaks this limit.
constexpr long long kHeapAllowanceBytes = 512 * 1024;
constexpr long long kHeapBytesPerTick = 16;

// AddressSanitizer holds freed memory in quarantine and adds shadow memory,
// so the process's size says nothing about leaks there; its leak check does.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryFiguresMeaningful = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMemoryFiguresMeaningful = false;
#else
constexpr bool kMemoryFiguresMeaningful = true;
#endif
#else
constexpr bool kMemoryFiguresMeaningful = true;
#endif

std::uint32_t Seed() {
    if (const char* s = std::getenv("SOAK_SEED"); s && *s) return static_cast<std::uint32_t>(std::strtoul(s, nullptr, 0));
    return kDefaultSeed;
}

// SOAK_STEPS in the environment runs a longer (or shorter) schedule.
int Steps() {
    if (const char* s = std::getenv("SOAK_STEPS"); s && *s) return std::max(kWarmUpSteps + 1, std::atoi(s));
    return kDefaultSteps;
}

long RssKiB() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS pmc{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc)) return 0;
    return static_cast<long>(pmc.WorkingSetSize / 1024);
#else
    long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
#endif
}

// Bytes of the C library's heap in use.
std::size_t HeapInUse() {
#ifdef _WIN32
    _HEAPINFO entry{};
    std::size_t used = 0;
    while (_heapwalk(&entry) == _HEAPOK)
        if (entry._useflag == _USEDENTRY) used += entry._size;
    return used;
#else
    return mallinfo2().uordblks;
#endif
}

#ifdef _WIN32
int ProcessId() { return _getpid(); }
const char* const kNullDevice = "NUL";
#else
int ProcessId() { return static_cast<int>(::getpid()); }
const char* const kNullDevice = "/dev/null";
#endif

std::string FileBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> ReferenceImage(const char* name) {
    std::ifstream in(std::string(TESTDATA_DIR "/hex/") + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

QString NameText(const std::string& bytes) { return QString::fromStdString(common::Utf8FromCp1251(bytes)); }

// Everything the settings editor shows.
struct EditorView {
    std::array<QString, settings::kEntryCount * settings::kColumnCount> cells;
    QString latitude, longitude;
    int battery = -1, zener = 0;
    bool operator==(const EditorView&) const = default;
};

std::ostream& operator<<(std::ostream& os, const EditorView& v) {
    os << "{";
    for (int i = 0; i < settings::kColumnCount * 2; ++i) os << '"' << v.cells[i].toStdString() << "\" ";
    return os << "... lat \"" << v.latitude.toStdString() << "\" lon \"" << v.longitude.toStdString()
              << "\" battery " << v.battery << " zener " << v.zener << "}";
}

// Answers every box and file dialog from the schedule and runs `whileOpen`
// while it is up; `isBox` tells a message or question box from a file dialog.
class SoakDialogs : public toolkit::DialogHost {
public:
    std::function<void(bool isBox)> whileOpen;
    QStringList messages, questions, errors;  // of the current operation
    std::deque<bool> answers;
    std::deque<QString> files;

    void message(const QString& text) override { messages << text; open(true); }
    bool question(const QString& text, const QString&) override {
        questions << text;
        open(true);
        bool a = answers.empty() || answers.front();
        if (!answers.empty()) answers.pop_front();
        return a;
    }
    void error(const QString& text) override { errors << text; open(true); }
    QString openFile(const toolkit::FileDialogOptions&) override { return next(); }
    QString saveFile(const toolkit::FileDialogOptions&) override { return next(); }
    void clear() { messages.clear(); questions.clear(); errors.clear(); answers.clear(); files.clear(); }

private:
    void open(bool isBox) { if (whileOpen) whileOpen(isBox); }
    QString next() {
        open(false);
        if (files.empty()) return {};
        QString f = files.front();
        files.pop_front();
        return f;
    }
};

const char* const kNames[] = {"Ast 19E", "Hot 13E", "Exp 96E", "Sir  5E", "His 30W", "Tel 15W",
                              "AtB 12W", "Amos 4W", "\xD3\xF0\xE0\xEB" "13E"};

class FaultSoak : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        toolkit::setDialogs(&host);
        seed = Seed();
        rng.seed(seed);
        dir = fs::temp_directory_path() / ("velkarn-soak-" + std::to_string(ProcessId()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        for (int i = 0; i < 8; ++i) pool.push_back(RandomBlock());
        sim::MeterAt(meter).settings = pool[0];
        reference = ReferenceImage("echo_m328p.img");
    }
    void TearDown() override {
        host.whileOpen = nullptr;
        WindowTest::TearDown();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    int R(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; }

    // A block as the program itself would build it from sound texts, over
    // random bytes where it leaves bytes alone.
    settings::SettingsBlock RandomBlock() {
        settings::EditorTexts t;
        for (auto& row : t.rows) {
            if (!Chance(0.6)) continue;
            row = {kNames[R(std::size(kNames))], std::to_string(10700 + R(2050)), std::string(1, "VHLR"[R(4)]),
                   std::to_string(2000 + R(28000)), std::to_string(1 + R(8))};
        }
        char lat[16], lon[16];
        std::snprintf(lat, sizeof lat, "%d,%d", 20 + R(60), R(10));
        std::snprintf(lon, sizeof lon, "%03d,%d", R(180), R(10));
        t.latitude = lat;
        t.longitude = lon;
        t.batteryIndex = R(3);
        t.zener = settings::kZenerMin + R(11);
        settings::SettingsBlock b;
        for (auto& x : b) x = static_cast<std::uint8_t>(R(256));
        settings::GatherSettings(t, b);
        return b;
    }

    EditorView Shown() const {
        const TForm1& f = *form;
        EditorView v;
        for (int e = 0; e < settings::kEntryCount; ++e)
            for (int c = 0; c < settings::kColumnCount; ++c)
                v.cells[e * settings::kColumnCount + c] = f.StringGrid1->cell(c, e + 1);
        v.latitude = f.MaskEditLati->maskedText();
        v.longitude = f.MaskEditLongi->maskedText();
        v.battery = f.RadioGroup1->itemIndex();
        v.zener = f.ZenderEdit->value();
        return v;
    }

    // What the editor shows once a whole block is applied.
    EditorView ShownFor(const settings::SettingsBlock& b) {
        const settings::EditorTexts t = settings::ApplySettings(b);
        EditorView v;
        for (int e = 0; e < settings::kEntryCount; ++e)
            for (int c = 0; c < settings::kColumnCount; ++c) {
                const std::string& s = t.rows[e][c];
                v.cells[e * settings::kColumnCount + c] =
                    c == settings::kNameColumn ? NameText(s) : QString::fromStdString(s);
            }
        latMask.setMaskedText(QString::fromStdString(t.latitude));
        lonMask.setMaskedText(QString::fromStdString(t.longitude));
        v.latitude = latMask.maskedText();
        v.longitude = lonMask.maskedText();
        v.battery = t.batteryIndex;
        v.zener = t.zener;
        return v;
    }

    // ---- The meter's misbehaviour ----

    void ChangeFaults() {
        static const sim::Kind kinds[] = {sim::Kind::Sweep, sim::Kind::Idle, sim::Kind::ReadSettings,
                                          sim::Kind::WriteSettings, sim::Kind::DeviceInfo,
                                          sim::Kind::FirmwareBlock, sim::Kind::EndOfUpload};
        static const int sizes[] = {128, 248, 248, 248, 7, 132, 7};
        const int k = R(std::size(kinds));
        sim::Fault& fault = sim::MeterAt(meter).FaultFor(kinds[k]);
        fault = {};
        switch (R(5)) {
        case 0: break;                                             // healthy again
        case 1: fault = {-R(120) - 1, true}; break;                // an error
        case 2: fault = {R(sizes[k]), true}; break;                // short, possibly empty
        case 3: fault.delayMs = 1 + R(2); break;                   // late, yet in time
        case 4: fault = {R(sizes[k]), true, 0, 1}; break;          // late and short
        }
        ++faultChanges;
    }

    void Plug() {
        if (plugged) sim::Unplug(meter); else sim::Replug(meter);
        plugged = !plugged;
        ++plugChanges;
    }

    // While a box is open the meter's own block stays: the operation's
    // checks compare against it.
    void Misbehave(bool inBox = false) {
        const int r = R(inBox ? 9 : 10);
        if (r < 6) ChangeFaults();
        else if (r < 8) Plug();
        else if (r < 9) { openFails = !openFails; sim::SetOpenFails(meter, openFails); }
        else sim::MeterAt(meter).settings = pool[R(pool.size())];
    }

    void HealAll() {
        for (auto& f : sim::MeterAt(meter).faults) f = {};
        if (!plugged) Plug();
        openFails = false;
        sim::SetOpenFails(meter, false);
    }

    // ---- One tick, checked ----

    void Tick() {
        TForm1& f = *form;
        const settings::SettingsBlock before = f.SettingsBuf;
        const settings::SettingsBlock meterBlock = sim::MeterAt(meter).settings;
        const std::size_t logBefore = sim::Log().size();
        const int handlesBefore = sim::OpenHandles();
        const bool on = f.SpeedButton1->isChecked();
        const int style = f.RadioGroupStyle->itemIndex();
        const QList<QPointF> line = f.Series1->points(), area = f.Series2->points();

        f.ButtonRead_PANOClick();
        ++ticks;

        ASSERT_EQ(sim::OpenHandles(), handlesBefore) << "a tick left its handle open";
        const auto& log = sim::Log();
        ASSERT_LE(log.size(), logBefore + 1) << "one transfer a tick at most";
        const sim::Transfer* t = log.size() > logBefore ? &log.back() : nullptr;
        if (!on || t == nullptr) {
            EXPECT_EQ(f.Series1->points(), line);
            EXPECT_EQ(f.Series2->points(), area);
        }
        if (on) {
            ASSERT_EQ(f.SettingsBuf, before);
            if (t == nullptr) return;
            ASSERT_EQ(t->kind, sim::Kind::Sweep);
            // The trace is the frame as it arrived, missing samples read 0.
            panorama::SweepFrame frame{};
            std::copy_n(t->dataIn.begin(), std::min<std::size_t>(t->dataIn.size(), frame.size()), frame.begin());
            toolkit::ChartSeries* drawn = style == 0 ? f.Series1 : f.Series2;
            toolkit::ChartSeries* other = style == 0 ? f.Series2 : f.Series1;
            ASSERT_EQ(drawn->count(), panorama::kSamples);
            EXPECT_EQ(other->count(), 0);
            for (int i = 0; i < panorama::kSamples; ++i)
                ASSERT_FLOAT_EQ(drawn->at(i).y(), panorama::Level(frame[i], f.PanoOpor, f.PanoKoef)) << i;
            return;
        }
        if (t != nullptr) {
            ASSERT_EQ(t->kind, sim::Kind::Idle);
            if (t->result == static_cast<int>(settings::kBlockSize)) {
                ASSERT_EQ(f.SettingsBuf, meterBlock);
                return;
            }
        }
        ASSERT_EQ(f.SettingsBuf, before) << "a partial idle reply reached the buffer (result "
                                         << (t ? t->result : 0) << ")";
    }

    // Ticks while a box or a file dialog is open: beside the operation's own
    // handle, the meter possibly misbehaving meanwhile. What each box opens
    // on is noted for the operation's checks.
    void TicksInBox(bool isBox) {
        if (isBox) {
            boxBuffers.push_back(form->SettingsBuf);
            boxViews.push_back(Shown());
            boxHandles.push_back(sim::OpenHandles());
        } else {
            ASSERT_EQ(sim::OpenHandles(), 0) << "a file dialog is shown with the meter open";
        }
        const int n = R(12);
        for (int i = 0; i < n && !HasFatalFailure(); ++i) {
            if (Chance(0.1)) Misbehave(true);
            if (Chance(0.02)) form->Button2Click();
            Tick();
            ++ticksInBoxes;
        }
        if (!isBox) afterDialog = form->SettingsBuf;
    }

    void StartOperation() {
        host.clear();
        boxBuffers.clear();
        boxViews.clear();
        boxHandles.clear();
        host.whileOpen = [this](bool isBox) { TicksInBox(isBox); };
        ++operations;
    }

    void EndOperation() {
        host.whileOpen = nullptr;
        ASSERT_EQ(sim::OpenHandles(), 0) << "an operation left a handle open";
        ASSERT_EQ(static_cast<int>(sim::Opened().size()), sim::Calls().close) << "every handle opened is closed";
    }

    // ---- The user's operations, each checked ----

    void Read() {
        TForm1& f = *form;
        const settings::SettingsBlock before = f.SettingsBuf, meterBlock = sim::MeterAt(meter).settings;
        const EditorView shown = Shown();
        StartOperation();
        f.ButtonRead->click();
        EndOperation();
        ASSERT_EQ(host.messages.size(), 1);
        EXPECT_TRUE(host.errors.isEmpty());
        const QString m = host.messages[0];
        if (m == "Принято OK") {
            ASSERT_EQ(boxBuffers[0], meterBlock);
            ASSERT_EQ(boxViews[0], ShownFor(meterBlock));
            ASSERT_EQ(boxHandles[0], 1);
            ASSERT_EQ(Shown(), ShownFor(meterBlock)) << "ticks refreshed the controls";
            ++reads;
        } else {
            ASSERT_TRUE(m == "read error" || m == "Velkarn3 отключен") << m.toStdString();
            ASSERT_EQ(boxBuffers[0], before) << "a failed read changed the buffer";
            ASSERT_EQ(Shown(), shown) << "a failed read changed the controls";
            ASSERT_EQ(boxHandles[0], m == "read error" ? 1 : 0);
        }
    }

    void Write() {
        TForm1& f = *form;
        const settings::SettingsBlock meterBefore = sim::MeterAt(meter).settings;
        const EditorView shown = Shown();
        StartOperation();
        const bool yes = Chance(0.8);
        host.answers = {yes};
        f.ButtonWrite->click();
        EndOperation();
        if (host.questions.isEmpty()) {  // no meter: no question
            ASSERT_EQ(host.messages, QStringList{"Velkarn3 отключен"});
            ASSERT_EQ(Shown(), shown);
            ASSERT_EQ(sim::MeterAt(meter).settings, meterBefore);
            return;
        }
        ASSERT_EQ(boxHandles[0], 1) << "the question comes with the meter open";
        if (!yes || !host.errors.isEmpty()) {  // declined, or the editor holds a text that does not convert
            ASSERT_TRUE(host.messages.isEmpty());
            ASSERT_EQ(Shown(), shown);
            ASSERT_EQ(sim::MeterAt(meter).settings, meterBefore);
            return;
        }
        ASSERT_EQ(host.messages.size(), 1);
        const settings::SettingsBlock& sent = boxBuffers[1];
        ASSERT_EQ(boxViews[1], ShownFor(sent)) << "the controls show a half-applied block";
        ASSERT_EQ(Shown(), ShownFor(sent));
        if (host.messages[0] == "Передано OK") {
            ASSERT_EQ(sim::MeterAt(meter).settings, sent);
            ++writes;
        } else {
            ASSERT_EQ(host.messages[0], "write error");
            ASSERT_EQ(sim::MeterAt(meter).settings, meterBefore) << "a failed write reached the meter";
        }
    }

    // A settings file to open: one saved before, a short or a long one, or
    // a name that does not exist; to save: one saved before or a new name.
    fs::path SomeFile(bool forSave) {
        const int r = R(10);
        if (r < 6 && !saved.empty()) return saved[R(saved.size())];
        if (!forSave && r < 7) return dir / "short.vkr3";
        if (!forSave && r < 8) return dir / "long.vkr3";
        return dir / ("new-" + std::to_string(R(1000)) + ".vkr3");
    }

    void Open() {
        TForm1& f = *form;
        const fs::path file = SomeFile(false);
        const std::string bytes = FileBytes(file);
        const EditorView shown = Shown();
        StartOperation();
        host.files = {QString::fromStdString(file.string())};
        f.ButtOpen->click();
        EndOperation();
        const settings::SettingsBlock before = afterDialog;  // idle ticks ran while the dialog was open
        if (bytes.size() >= settings::kBlockSize) {
            settings::SettingsBlock expected;
            std::copy_n(bytes.begin(), settings::kBlockSize, expected.begin());
            ASSERT_TRUE(host.messages.isEmpty());
            ASSERT_EQ(f.SettingsBuf, expected);
            ASSERT_EQ(Shown(), ShownFor(expected));
            ++opens;
        } else {
            ASSERT_EQ(host.messages, QStringList{"Ошибка чтения файла"});
            ASSERT_EQ(boxBuffers[0], before);
            ASSERT_EQ(Shown(), shown);
        }
    }

    void Save() {
        TForm1& f = *form;
        const fs::path file = SomeFile(true);
        const bool existed = fs::exists(file);
        const std::string old = FileBytes(file);
        const EditorView shown = Shown();
        StartOperation();
        const bool yes = Chance(0.8);
        host.answers = {yes};
        host.files = {QString::fromStdString(file.string())};
        f.ButtSave->click();
        EndOperation();
        ASSERT_EQ(host.questions.size(), existed ? 1 : 0);
        if ((existed && !yes) || !host.errors.isEmpty()) {
            ASSERT_EQ(FileBytes(file), old) << "a file was touched without a gather";
            ASSERT_EQ(fs::exists(file), existed);
            ASSERT_EQ(Shown(), shown);
        } else {
            ASSERT_TRUE(host.messages.isEmpty()) << host.messages.join("; ").toStdString();
            const settings::SettingsBlock& b = f.SettingsBuf;
            ASSERT_EQ(FileBytes(file), std::string(b.begin(), b.end()));
            ASSERT_EQ(Shown(), ShownFor(b));
            if (std::find(saved.begin(), saved.end(), file) == saved.end()) saved.push_back(file);
            ++saves;
        }
        // Only the files saved, and the two odd ones, lie in the folder: no
        // temporary file of the atomic save is left behind.
        for (const auto& entry : fs::directory_iterator(dir)) {
            const fs::path p = entry.path();
            ASSERT_TRUE(p.filename() == "short.vkr3" || p.filename() == "long.vkr3" ||
                        std::find(saved.begin(), saved.end(), p) != saved.end())
                << "left behind: " << p;
        }
    }

    void Edit() {
        // A user's change to one cell, as the in-cell editors put it in;
        // now and then a text that does not convert, which the next edit of
        // that cell or the next apply mends.
        TForm1& f = *form;
        const int c = R(settings::kColumnCount), r = 1 + R(settings::kEntryCount);
        QString text;
        switch (c) {
        case settings::kNameColumn: text = NameText(kNames[R(std::size(kNames))]); break;
        case settings::kFrequencyColumn: text = QString::number(10700 + R(2050)); break;
        case settings::kPolarisationColumn: text = QString(QChar::fromLatin1("VHLR"[R(4)])); break;
        case settings::kSymbolRateColumn: text = QString::number(2000 + R(28000)); break;
        default: text = QString::number(1 + R(4)); break;
        }
        if (Chance(0.1) && (c == settings::kFrequencyColumn || c == settings::kSymbolRateColumn))
            text = QStringLiteral("12a");
        f.StringGrid1->setCell(c, r, text);
        ++edits;
    }

    void Upload() {
        TForm1& f = *form;
        const bool sound = Chance(0.85);
        StartOperation();
        host.files = {QStringLiteral(TESTDATA_DIR "/hex/") + (sound ? "echo_m328p.hex" : "bad_checksum.hex")};
        // The progress lines go to standard output; keep them out of the test's.
        std::fflush(stdout);
        // Standard output is descriptor 1 on both systems.
        const int out = ::dup(1);
        const int null = ::open(kNullDevice, O_WRONLY);
        if (null >= 0) ::dup2(null, 1);
        f.Button1->click();
        std::fflush(stdout);
        if (out >= 0) ::dup2(out, 1);
        for (int fd : {out, null})
            if (fd >= 0) ::close(fd);
        EndOperation();
        ASSERT_TRUE(host.errors.isEmpty());
        ASSERT_FALSE(host.messages.isEmpty());
        const QString last = host.messages.back();
        const auto blocks = sim::LogOf(sim::Kind::FirmwareBlock);
        const auto ends = sim::LogOf(sim::Kind::EndOfUpload);
        if (!sound) {
            ASSERT_EQ(last, "Ошибка в файле прошивки");
            ASSERT_TRUE(blocks.empty());
            return;
        }
        if (last == "Прошито успешно") {
            ASSERT_EQ(blocks.size(), 3u);
            for (const auto& b : blocks) ASSERT_EQ(b.result, firmware::kFlashBlockSize);
            ASSERT_EQ(ends.size(), 1u);
            const auto& flash = sim::MeterAt(meter).flash;
            ASSERT_TRUE(std::equal(flash.begin(), flash.begin() + 384, reference.begin()))
                << "success reported, but the meter does not hold the image";
            for (int h : boxHandles) ASSERT_EQ(h, 1);
            ++uploads;
        } else if (last.startsWith(QStringLiteral("Ошибка записи по адресу  "))) {
            ASSERT_FALSE(blocks.empty());
            ASSERT_NE(blocks.back().result, firmware::kFlashBlockSize);
            ASSERT_EQ(last, "Ошибка записи по адресу  " + QString::number(128 * (blocks.size() - 1)));
            ASSERT_TRUE(ends.empty());
        } else {
            ASSERT_TRUE(blocks.empty()) << last.toStdString();
            ASSERT_TRUE(last == "Velkarn3 отключен" || last == "Not enough bytes in device info repor")
                << last.toStdString();
        }
    }

    // What the message loop does between ticks: repaint, and delete what was
    // left for deletion (which no loop does for a test that runs none).
    static void LetEventsThrough() {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void PanoramaControls() {
        TForm1& f = *form;
        switch (R(6)) {
        case 0: f.SpeedButton1->click(); break;
        case 1: f.RadioGroupStyle->setItemIndex(R(2)); break;
        case 2: f.RadioGroupEdin->setItemIndex(R(2)); break;
        case 3: f.ScrollBar_Opor->setValue(R(111)); f.ScrollBar_Koef->setValue(4000 + R(4001)); break;
        case 4: f.TrackBarStep->setValue(1 + R(10)); break;
        case 5: f.ScrollBar3->setValue(R(1201)); break;
        }
    }

    std::uint32_t seed = 0;
    std::mt19937 rng;
    SoakDialogs host;
    fs::path dir;
    std::vector<settings::SettingsBlock> pool;
    std::vector<fs::path> saved;
    std::vector<std::uint8_t> reference;
    toolkit::MaskEdit latMask{QStringLiteral("99,9"), QStringLiteral("50,0")};
    toolkit::MaskEdit lonMask{QStringLiteral("999,9"), QStringLiteral("036,0")};
    bool plugged = true, openFails = false;

    std::vector<settings::SettingsBlock> boxBuffers;  // SettingsBuf as each box of an operation opened
    settings::SettingsBlock afterDialog{};            // SettingsBuf as the last file dialog closed
    std::vector<EditorView> boxViews;
    std::vector<int> boxHandles;

    long ticks = 0, ticksInBoxes = 0, operations = 0, faultChanges = 0, plugChanges = 0, edits = 0;
    long reads = 0, writes = 0, opens = 0, saves = 0, uploads = 0;  // the ones that went through
};

TEST_F(FaultSoak, TicksAndOperationsAgainstAFaultyMeter) {
    std::cout << "[ soak     ] seed " << seed << ", " << Steps() << " steps (set SOAK_SEED and SOAK_STEPS to run another)"
              << std::endl;
    RecordProperty("seed", std::to_string(seed));
    { std::ofstream(dir / "short.vkr3", std::ios::binary) << std::string(100, '\x11'); }
    {
        const settings::SettingsBlock& b = pool[1];
        std::ofstream(dir / "long.vkr3", std::ios::binary) << std::string(b.begin(), b.end()) << std::string(52, 'x');
    }
    form->show();  // the traces are painted too, whenever events are let through
    form->SpeedButton1->click();

    long rssWarm = 0;
    std::size_t heapWarm = 0;
    const int steps = Steps();
    for (int step = 0; step < steps && !HasFatalFailure() && !HasFailure(); ++step) {
        if (step == kWarmUpSteps) {
            rssWarm = RssKiB();
            heapWarm = HeapInUse();
        }
        sim::ClearLog();
        const int r = R(1000);
        if (r < 700) Tick();
        else if (r < 800) Misbehave();
        else if (r < 830) PanoramaControls();
        else if (r < 845) Edit();
        else if (r < 880) Read();
        else if (r < 905) Write();
        else if (r < 930) Open();
        else if (r < 955) Save();
        else if (r < 975) Upload();
        else if (r < 985) HealAll();
        else { for (int i = 0; i < 20 && !HasFatalFailure(); ++i) Tick(); }
        if (step % 50 == 0) LetEventsThrough();
    }
    LetEventsThrough();
    const long rssEnd = RssKiB();
    const std::size_t heapEnd = HeapInUse();

    std::cout << "[ soak     ] " << ticks << " ticks (" << ticksInBoxes << " while a box was open), "
              << operations << " operations (went through: " << reads << " reads, " << writes << " writes, "
              << opens << " opens, " << saves << " saves, " << uploads << " uploads), " << edits << " edits, "
              << faultChanges << " fault changes, " << plugChanges << " unplug/replug" << std::endl;
    std::cout << "[ soak     ] RSS after warm-up " << rssWarm << " KiB, at the end " << rssEnd << " KiB, growth "
              << rssEnd - rssWarm << " KiB; heap in use " << heapWarm / 1024 << " KiB, then " << heapEnd / 1024
              << " KiB" << std::endl;
    // The schedule's mix gives about two ticks a step and an operation that
    // goes through every twenty steps: half of that at least.
    EXPECT_GE(ticks, steps);
    EXPECT_GT(reads + writes + opens + saves + uploads, steps / 40);
    if (rssWarm > 0 && kMemoryFiguresMeaningful) {
        EXPECT_LT(rssEnd - rssWarm, kMaxGrowthKiB) << "memory grows over the run";
        const long long heapGrowth = static_cast<long long>(heapEnd) - static_cast<long long>(heapWarm);
        EXPECT_LT(heapGrowth, kHeapAllowanceBytes + kHeapBytesPerTick * ticks) << "heap in use grows over the run";
    }
    EXPECT_EQ(sim::OpenHandles(), 0);
}

}  // namespace
