// journal_shot: the "Журнал" tab after the window has read the protocols of two simulated
// units on one line, for people to look at. Usage: journal_shot OUTPUT_DIR
#include "gui/controllers/journal.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/diag_page.hpp"
#include "gui/pages/journal_page.hpp"
#include "gui/pages/protocol_page.hpp"
#include "records/archive.hpp"
#include "session/port_line.hpp"
#include "sim/simulated_unit.hpp"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>

using namespace torl7;

namespace {

// Boxes that only say on stdout what they would have shown.
class QuietBoxes final : public MessageBoxes {
public:
    void error(const QString& text, const QString&, QWidget*) override { say(text); }
    void information(const QString& text, const QString&, QWidget*) override { say(text); }
    Answer question(const QString& text, const QString&, QWidget*) override {
        say(text);
        return Answer::No;
    }
    void conversionError(const QString& text) override { say(text); }
    bool noAnswer(const QString& text, const QString&, const QString&, bool, QWidget*) override {
        say(text);
        return false;
    }
    QStringList said;

private:
    void say(const QString& text) {
        said << text;
        QTextStream(stdout) << "box: " << text << "\n";
    }
};

bool waitFor(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: journal_shot OUTPUT_DIR\n";
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    folder.mkpath(".");
    const QTemporaryDir work;
    const QString archiveFile = work.filePath("archive.sqlite");

    // The names a substation file gave the units at an earlier collection.
    {
        auto opened = Archive::open(archiveFile);
        auto& archive = *std::get<std::unique_ptr<Archive>>(opened);
        for (const auto& [number, names] :
             {std::pair{600, UnitNames{"КРУ-6 кВ", "яч. 4", "Насос 1"}},
              std::pair{601, UnitNames{"КРУ-6 кВ", "яч. 7", "Вентилятор 2"}}}) {
            ArchiveReading reading;
            reading.unit = number;
            reading.names = names;
            reading.kind = "collect";
            archive.store(reading);
        }
    }

    sim::SimulatedUnit bus;
    std::vector<sim::SimOptions> units(2);
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i].unit.factoryNumber = static_cast<std::uint16_t>(600 + i);
        units[i].unit.lineSpeedBaud = 115200;
    }
    const QString port = QString::fromStdString(bus.startBus(units));
    PortLine line;
    QuietBoxes boxes;
    qputenv("TORL7_ARCHIVE", archiveFile.toLocal8Bit());
    MainWindow window(line, boxes, portList({port}, false));
    window.show();
    for (const int unit : {600, 601}) {
        window.TabSheet2->frm1_zn->setValue(unit);
        const qsizetype before = boxes.said.size();
        window.TabSheet3->Button1->click();
        if (!waitFor([&] { return boxes.said.size() > before; })) {
            QTextStream(stderr) << "unit " << unit << " did not answer\n";
            return 1;
        }
    }
    Journal& journal = *window.subsystems().journal;
    window.PageControl1->setCurrentWidget(&journal.page());
    waitFor([&] { return journal.state() != Journal::State::Asking; });
    // The Журнал must not be what sets the window's size.
    for (int page = 0; page < window.PageControl1->count(); ++page) {
        const QSize least = window.PageControl1->widget(page)->minimumSizeHint();
        QTextStream(stdout) << window.PageControl1->tabText(page) << ": " << least.width() << "x"
                            << least.height() << "\n";
    }
    const QString path = folder.filePath("journal.png");
    const bool saved = window.grab().save(path);
    QTextStream(stdout) << (saved ? "saved " : "FAILED ") << path << "\n";

    // A substation's years: 30 units, 4 years of quarterly reads of 100 events each. The window
    // must go on answering while the Журнал asks for them and shows them.
    {
        auto opened = Archive::open(archiveFile);
        auto& archive = *std::get<std::unique_ptr<Archive>>(opened);
        for (int read = 0; read < 120; ++read) {
            ArchiveReading reading;
            reading.unit = 700 + read % 30;
            reading.kind = "collect";
            EventSlots records;
            for (std::size_t slot = 0; slot < records.size(); ++slot) {
                EventRecord event;
                event.stamp = {static_cast<int>(slot % 60),     read % 60, 10, 1 + read / 30 * 7,
                               1 + static_cast<int>(slot / 10), 22};
                event.protection = 0x20;
                records[slot] = encodeEventRecord(event);
            }
            reading.events = records;
            archive.store(reading);
        }
    }
    QElapsedTimer took;
    took.start();
    journal.refresh();
    qint64 longestStall = 0;
    while (journal.state() == Journal::State::Asking) {
        QElapsedTimer turn;
        turn.start();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        longestStall = std::max(longestStall, turn.elapsed());
    }
    QTextStream(stdout) << journal.page().model->rowCount() << " events shown after "
                        << took.elapsed() << " ms; the window's longest stall " << longestStall
                        << " ms\n";
    bus.stop();
    return saved ? 0 : 1;
}
