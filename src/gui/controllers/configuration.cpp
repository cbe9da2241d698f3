#include "gui/controllers/configuration.hpp"

#include "documents/settings_file.hpp"
#include "gui/controllers/archive_feed.hpp"
#include "gui/controllers/line_gate.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/config_page.hpp"
#include "gui/widgets/step_buttons.hpp"
#include "protocol/calibration_rules.hpp"
#include "records/reading_forms.hpp"
#include "session/unit_session.hpp"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace torl7 {

namespace {

const QString kQuestionWrite =
    QStringLiteral("Внимание данные конфигурации будут изменены! Продолжить?");
const QString kWriteCancelled = QStringLiteral("Запись конфигурации отменена");
// The cancellation caption has always been spelt this way; the acknowledgement's is not.
const QString kCaptionWriteCancelled = QStringLiteral("Запись конфиурации");
const QString kBadCoefficients =
    QStringLiteral("Запись конфигурации отменена! Калибровочные коэффициенты не корректны!");
const QString kWritten = QStringLiteral("Конфигурация записана");
const QString kCaptionWritten = QStringLiteral("Запись конфигурации");
const QString kRead = QStringLiteral("Конфигурация считана");
const QString kCaptionRead = QStringLiteral("Считывание конфигурации");
const QString kCaptionCompare = QStringLiteral("Сравнение с устройством");

// Stepping a delay down stops at 0.2 s.
constexpr std::int64_t kMinSteppedDelayTenths = 2;

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// One line a field: its caption and its two values, as `line` words them ("%1: записано %2,
// считано %3").
QString differenceLines(const std::vector<FieldDifference>& differences, const QString& line) {
    QStringList lines;
    for (const FieldDifference& d : differences) {
        const ConfigField* field = configFieldAt(d.field);
        const QString caption = field ? text(std::string(field->caption)) : text(d.field);
        lines << line.arg(caption, text(russianValueText(d.expected)),
                          text(russianValueText(d.actual)));
    }
    return lines.join(QLatin1Char('\n'));
}

// The fields of a received record that the page holds to a limit of its control.
QString clampedText(const std::vector<ClampedField>& clamped) {
    QStringList lines;
    for (const ClampedField& c : clamped) {
        lines << QStringLiteral("%1: в устройстве %2, на странице %3 (%4)")
                     .arg(text(std::string(c.field->caption)))
                     .arg(c.unitSteps)
                     .arg(c.heldSteps)
                     .arg(c.heldSteps == c.field->min ? QStringLiteral("нижний предел")
                                                      : QStringLiteral("верхний предел"));
    }
    return QStringLiteral("Значения устройства вне пределов полей страницы, страница "
                          "показывает предел:\n") +
           lines.join(QLatin1Char('\n'));
}

} // namespace

Configuration::Configuration(MainWindow& window, ArchiveFeed& archive)
    : QObject(&window), page_(*window.TabSheet1), session_(window.session()),
      boxes_(window.boxes()), archive_(archive), asFound_(archive.location()),
      read_(window.session()), compare_(window.session()), write_(window.session(), &asFound_) {
    connectWhenLineFree(session_, page_.btn_read_konf, &QPushButton::clicked, this,
                        &Configuration::btn_read_konfClick);
    connectWhenLineFree(session_, page_.btn_compare_konf, &QPushButton::clicked, this,
                        &Configuration::btn_compare_konfClick);
    connectWhenLineFree(session_, page_.btn_write_konf, &QPushButton::clicked, this,
                        &Configuration::btn_write_konfClick);
    read_.onFinished([this](const Outcome<ConfigRecord>& outcome) {
        if (outcome) {
            keepRead("read-config", *outcome.result);
            showRecord(*outcome.result);
        } else if (outcome.error) {
            showReadFailure(*outcome.error);
        }
    });
    compare_.onFinished([this](const Outcome<ConfigRecord>& outcome) { compared(outcome); });
    write_.onFinished([this](const Outcome<WriteReport>& outcome) { writeFinished(outcome); });

    // A user's choice replaces an index kept from the unit.
    for (QComboBox* list : {page_.cb_rs485, page_.cb_uprotbus}) {
        connect(list, &QComboBox::activated, list,
                [list] { list->setProperty(kUnlistedIndex, QVariant()); });
    }

    const struct {
        StepButtons* buttons;
        void (Configuration::*up)();
        void (Configuration::*down)();
    } steps[] = {
        {page_.spb_zumin, &Configuration::spb_zuminUpClick, &Configuration::spb_zuminDownClick},
        {page_.SpinButton1, &Configuration::SpinButton1UpClick,
         &Configuration::SpinButton1DownClick},
        {page_.SpinButton2, &Configuration::SpinButton2UpClick,
         &Configuration::SpinButton2DownClick},
        {page_.SpinButton3, &Configuration::SpinButton3UpClick,
         &Configuration::SpinButton3DownClick},
        {page_.SpinButton4, &Configuration::SpinButton4UpClick,
         &Configuration::SpinButton4DownClick},
        {page_.SpinButton5, &Configuration::SpinButton5UpClick,
         &Configuration::SpinButton5DownClick},
    };
    for (const auto& step : steps) {
        connect(step.buttons, &StepButtons::upClicked, this, step.up);
        connect(step.buttons, &StepButtons::downClicked, this, step.down);
    }
}

void Configuration::btn_read_konfClick() {
    read_.start();
}

void Configuration::keepRead(const char* kind, const ConfigRecord& record) {
    ArchiveReading reading = archive_.reading(kind);
    reading.configurations = {{ConfigRole::AsRead, record}};
    archive_.store(std::move(reading));
}

void Configuration::btn_compare_konfClick() {
    // The page as it stands when the button is pressed; a field that does not convert has
    // its box and nothing is read.
    const auto onPage = recordFromPage(page_, boxes_);
    if (!onPage) {
        return;
    }
    pageToCompare_ = *onPage;
    compare_.start();
}

void Configuration::compared(const Outcome<ConfigRecord>& outcome) {
    if (!outcome) {
        showReadFailure(*outcome.error);
        return;
    }
    keepRead("diff-config", *outcome.result);
    const auto differences = compareSettings(pageToCompare_, *outcome.result);
    boxes_.information(
        differences.empty()
            ? QStringLiteral("Настройки на странице совпадают с настройками устройства.")
            : QStringLiteral("Настройки на странице отличаются от настроек устройства:\n") +
                  differenceLines(differences,
                                  QStringLiteral("%1: на странице %2, в устройстве %3")),
        kCaptionCompare);
}

void Configuration::btn_write_konfClick() {
    if (boxes_.question(kQuestionWrite, kCaptionTool) != MessageBoxes::Answer::Yes) {
        boxes_.information(kWriteCancelled, kCaptionWriteCancelled);
        return;
    }
    if (!coefficientsPlausible()) {
        return;
    }
    const auto record = recordFromPage(page_, boxes_);
    if (!record) {
        return;
    }
    written_ = *record;
    // The read-back waits until the user has closed the acknowledgement's message.
    write_.start(*record, [this] { boxes_.information(kWritten, kCaptionWritten); });
}

bool Configuration::coefficientsPlausible() {
    const QLineEdit* edits[kCoefficientCount] = {page_.st_kua,  page_.st_kub, page_.st_kuc,
                                                 page_.st_kia,  page_.st_kib, page_.st_kic,
                                                 page_.st_kidif};
    std::array<std::string, kCoefficientCount> typed;
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        typed[i] = edits[i]->text().toStdString();
    }
    const auto fault = checkCoefficients(typed);
    if (!fault) {
        return true;
    }
    if (fault->kind == CoefficientFault::Kind::NotANumber) {
        boxes_.conversionError(notANumberText(edits[fault->channel]->text()));
    } else {
        boxes_.error(kBadCoefficients, kCaptionTool);
    }
    return false;
}

void Configuration::showRecord(const ConfigRecord& record) {
    applyRecordToPage(record, page_);
    boxes_.information(kRead, kCaptionRead);
    // The page cannot hold these values: a write would change them in the unit.
    if (const auto clamped = clampedFields(record); !clamped.empty()) {
        boxes_.information(clampedText(clamped), kCaptionRead);
    }
}

void Configuration::showReadFailure(const SessionError& error) {
    // A lost line has its own box from the window.
    sayFailure(error, boxes_);
}

namespace {

// What the read-back after a lost acknowledgement found, and where the settings the unit held
// before the write are kept.
QString lostAcknowledgementFinding(const WriteReport& report) {
    QString text;
    switch (*report.afterLostAcknowledgement) {
    case WriteReport::Found::NewRecord:
        text = QStringLiteral("Подтверждение записи не получено, но устройство хранит записанные "
                              "настройки: запись выполнена.");
        break;
    case WriteReport::Found::OldRecord:
        text = QStringLiteral("Подтверждение записи не получено; устройство хранит прежние "
                              "настройки: запись не выполнена.");
        break;
    case WriteReport::Found::Neither:
        text = QStringLiteral("Подтверждение записи не получено; настройки устройства не "
                              "совпадают ни с записанными, ни с прежними.");
        break;
    case WriteReport::Found::Unknown:
        text = QStringLiteral("Подтверждение записи не получено, и на чтение устройство не "
                              "ответило: что оно хранит, неизвестно.");
        break;
    }
    if (report.kept && *report.kept) {
        text += QStringLiteral("\nПрежние настройки сохранены в %1.")
                    .arg(QDir::toNativeSeparators(report.kept->path));
    }
    return text;
}

} // namespace

void Configuration::writeFinished(const Outcome<WriteReport>& outcome) {
    if (asFound_.problem()) {
        archive_.notWritten(*asFound_.problem());
    }
    if (outcome.result) {
        if (auto reading = writeReading(archive_.reading("write-config"), asFound_, written_,
                                        *outcome.result)) {
            archive_.store(std::move(*reading));
        }
    }
    if (!outcome.result) {
        showReadFailure(*outcome.error);
        return;
    }
    const WriteReport& result = *outcome.result;
    if (result.afterLostAcknowledgement) {
        sayNoAnswer(boxes_, nullptr, lostAcknowledgementFinding(result));
        return;
    }
    if (result.kept && !*result.kept) {
        const QString reason =
            result.kept->reason.isEmpty() ? QString() : QStringLiteral(": ") + result.kept->reason;
        boxes_.error(QStringLiteral("Запись конфигурации отменена! Прежние настройки устройства "
                                    "не сохранены в %1%2")
                         .arg(result.kept->path, reason),
                     kCaptionWritten);
        return;
    }
    // The fields the unit did not take as written; a byte no control shows is no field.
    if (result.readBack && !result.differences.empty()) {
        boxes_.error(
            QStringLiteral("Устройство приняло не все значения:\n") +
                differenceLines(result.differences, QStringLiteral("%1: записано %2, считано %3")),
            kCaptionWritten);
    }
    // The page shows what the unit stored, whatever of the write it took.
    if (result.readBack) {
        showRecord(*result.readBack);
    } else if (outcome.error) {
        showReadFailure(*outcome.error);
    }
}

void Configuration::stepUp(QLabel* delay) {
    const auto tenths = parseTenths(delay->text().toStdString());
    if (!tenths) {
        boxes_.conversionError(notANumberText(delay->text()));
        return;
    }
    const std::int64_t next = *tenths >= kMaxDelayTenths ? *tenths : *tenths + 1;
    delay->setText(text(formatTenths(next)));
}

void Configuration::stepDown(QLabel* delay) {
    const auto tenths = parseTenths(delay->text().toStdString());
    if (!tenths) {
        boxes_.conversionError(notANumberText(delay->text()));
        return;
    }
    const std::int64_t next = *tenths <= kMinSteppedDelayTenths ? *tenths : *tenths - 1;
    delay->setText(text(formatTenths(next)));
}

void Configuration::spb_zuminUpClick() {
    stepUp(page_.st_zumin_t);
}
void Configuration::spb_zuminDownClick() {
    stepDown(page_.st_zumin_t);
}
void Configuration::SpinButton1UpClick() {
    stepUp(page_.st_zumax_t);
}
void Configuration::SpinButton1DownClick() {
    stepDown(page_.st_zumax_t);
}
void Configuration::SpinButton2UpClick() {
    stepUp(page_.st_zuasm_t);
}
void Configuration::SpinButton2DownClick() {
    stepDown(page_.st_zuasm_t);
}
void Configuration::SpinButton3UpClick() {
    stepUp(page_.st_zidif_t);
}
void Configuration::SpinButton3DownClick() {
    stepDown(page_.st_zidif_t);
}
void Configuration::SpinButton4UpClick() {
    stepUp(page_.st_zizakl_t);
}
void Configuration::SpinButton4DownClick() {
    stepDown(page_.st_zizakl_t);
}
void Configuration::SpinButton5UpClick() {
    stepUp(page_.st_ziasm_t);
}
void Configuration::SpinButton5DownClick() {
    stepDown(page_.st_ziasm_t);
}

} // namespace torl7
