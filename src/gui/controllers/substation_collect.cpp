// "Собрать всё" of the "Подстанция" tab: every unit read with the lines side by side, a
// progress dialog that can cancel, the table's result column filled as units end.
#include "documents/file_output.hpp"
#include "documents/report_template.hpp"
#include "gui/controllers/archive_feed.hpp"
#include "gui/controllers/report_writer.hpp"
#include "gui/controllers/substation_units.hpp"
#include "gui/dialogs/collect_dialog.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "records/reading_forms.hpp"
#include "session/connection_doctor.hpp"
#include "session/port_access.hpp"
#include "session/port_line.hpp"

#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace torl7 {

namespace {

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QString resultText(UnitOutcome::Result result) {
    switch (result) {
    case UnitOutcome::Result::Done:
        return QStringLiteral("собрано");
    case UnitOutcome::Result::NoAnswer:
        return QStringLiteral("нет ответа");
    case UnitOutcome::Result::Failed:
        return QStringLiteral("ошибка");
    case UnitOutcome::Result::Cancelled:
        return QStringLiteral("отменено");
    }
    return {};
}

// What a person needs to know of how the unit's collection ended: its folder, or why not.
QString detailOf(const UnitOutcome& outcome, const std::string& port) {
    switch (outcome.result) {
    case UnitOutcome::Result::Done:
        return QStringLiteral("Папка: %1").arg(QDir::toNativeSeparators(outcome.folder));
    case UnitOutcome::Result::NoAnswer: {
        LineDiagnosis diagnosis = outcome.diagnosis.value_or(LineDiagnosis{});
        diagnosis.line = lineKind(port);
        return QStringLiteral("Нет ответа. %1").arg(text(noAnswerHint(diagnosis)));
    }
    case UnitOutcome::Result::Failed:
        break;
    case UnitOutcome::Result::Cancelled:
        return QStringLiteral("Сбор отменён: файлы устройства не записаны.");
    }
    if (!outcome.error) {
        return text(outcome.detail); // a file of the bundle, named by its writer
    }
    const SessionError& error = *outcome.error;
    const QString said = error.detail.isEmpty() ? QString() : QStringLiteral(": ") + error.detail;
    switch (error.kind) {
    case SessionError::Kind::PortNotOpened: {
        const QString hint = portRefusalHint(error.refusal, true);
        return QStringLiteral("Ошибка открытия порта %1%2").arg(error.port, said) +
               (hint.isEmpty() ? QString() : QLatin1Char('\n') + hint);
    }
    case SessionError::Kind::LineLost:
        return QStringLiteral("Порт %1 закрыт: связь потеряна%2").arg(error.port, said);
    case SessionError::Kind::NoPort:
    case SessionError::Kind::Timeout:
    case SessionError::Kind::Refused:
    case SessionError::Kind::Cancelled:
    case SessionError::Kind::SpeedFixed:
        break;
    }
    return text(outcome.detail);
}

} // namespace

void SubstationUnits::collectAll() {
    if (state_ != State::Idle || substation_.units.empty()) {
        return;
    }
    const auto templatePath = findReportTemplate(report_.programDir);
    if (!templatePath) {
        window_.boxes().error(QStringLiteral("Не найден шаблон !"), kCaptionTool);
        return;
    }
    folder_ = askFolder();
    if (folder_.isEmpty()) {
        return;
    }
    // Said before any unit is asked anything, not after.
    if (const std::string fault = outputFolderFault(folder_.toStdString()); !fault.empty()) {
        window_.boxes().error(text(fault), kCaptionTool);
        return;
    }
    // The window's own port may be one of the lines: it lets go of it for the run.
    window_.stopPolling();
    window_.session().closePort();
    for (const SubstationUnit& unit : substation_.units) {
        seen_[unit.number].result = QStringLiteral("в очереди");
        seen_[unit.number].detail.clear();
    }
    fillTable();
    unitsEnded_ = 0;
    progress_ = new CollectDialog(&window_);
    progress_->setWindowModality(Qt::WindowModal);
    progress_->pb_collect->setRange(0, static_cast<int>(substation_.units.size()));
    progress_->pb_collect->setValue(0);
    progress_->lbl_collect->setText(QStringLiteral("Подключение к линиям…"));
    connect(progress_, &CollectDialog::cancelAsked, this, &SubstationUnits::cancelCollection);
    state_ = State::Collecting;
    updateState();
    progress_->show();

    run_ = new SubstationRun([](const std::string&) { return std::make_unique<PortLine>(); }, this);
    run_->onProgress = [this](const RunProgress& p) { progressed(p); };
    run_->onUnit = [this](const UnitOutcome& outcome) { unitEnded(outcome); };
    run_->onFinished = [this](const std::vector<UnitOutcome>& units) { collectionEnded(units); };
    run_->start(substation_, {}, collectJob(folder_, utf8Path(*templatePath)));
}

void SubstationUnits::cancelCollection() {
    if (state_ != State::Collecting || !run_) {
        return;
    }
    state_ = State::Cancelling;
    updateState();
    run_->cancel();
}

void SubstationUnits::progressed(const RunProgress& p) {
    seen_[p.number].result = text(p.step);
    if (const SubstationUnit* unit = substation_.unit(p.number)) {
        fillRow(static_cast<int>(unit - substation_.units.data()));
        if (progress_ && state_ == State::Collecting) {
            const QString title = text(Substation::title(*unit));
            progress_->lbl_collect->setText(
                QStringLiteral("[%1/%2] №%3%4: %5")
                    .arg(p.unitIndex)
                    .arg(p.unitCount)
                    .arg(p.number)
                    .arg(title.isEmpty() ? QString() : " " + title, text(p.step)));
        }
    }
}

void SubstationUnits::unitEnded(const UnitOutcome& outcome) {
    // Kept as soon as read: a collection cancelled half-way keeps the units it had read.
    if (auto reading = collectReading(outcome, substation_)) {
        archive_.store(std::move(*reading));
    }
    Seen& seen = seen_[outcome.number];
    seen.result = resultText(outcome.result);
    const SubstationLine* line = substation_.line(outcome.line);
    seen.detail = detailOf(outcome, line ? line->port : std::string());
    if (outcome.data) { // it gave what was read: it answered
        seen.lastAnswer = QDateTime::currentDateTime();
        seen.firmware = text(outcome.firmware);
    }
    if (const SubstationUnit* unit = substation_.unit(outcome.number)) {
        fillRow(static_cast<int>(unit - substation_.units.data()));
    }
    ++unitsEnded_;
    if (progress_) {
        progress_->pb_collect->setValue(unitsEnded_);
    }
    showDetail();
}

void SubstationUnits::collectionEnded(const std::vector<UnitOutcome>& units) {
    const bool cancelled = state_ == State::Cancelling;
    std::map<UnitOutcome::Result, QStringList> numbers;
    for (const UnitOutcome& outcome : units) {
        numbers[outcome.result] << QStringLiteral("№%1").arg(outcome.number);
        if (outcome.result == UnitOutcome::Result::Cancelled) {
            unitEnded(outcome); // a unit its line never reached says so too
        }
    }
    closeProgress();
    if (run_) {
        run_->deleteLater(); // after its lines have returned
    }
    state_ = State::Idle;
    updateState();
    QString summary =
        QStringLiteral("%1: собрано %2 из %3.")
            .arg(cancelled ? QStringLiteral("Сбор отменён") : QStringLiteral("Сбор завершён"))
            .arg(numbers[UnitOutcome::Result::Done].size())
            .arg(units.size());
    for (const UnitOutcome::Result result :
         {UnitOutcome::Result::NoAnswer, UnitOutcome::Result::Failed,
          UnitOutcome::Result::Cancelled}) {
        if (!numbers[result].isEmpty()) {
            summary += QStringLiteral("\n%1: %2")
                           .arg(resultText(result), numbers[result].join(QStringLiteral(", ")));
        }
    }
    summary += QStringLiteral("\nПапка: %1").arg(QDir::toNativeSeparators(folder_));
    window_.boxes().information(summary, kCaptionTool);
}

void SubstationUnits::closeProgress() {
    if (progress_) {
        progress_->hide(); // not close(): the dialog takes a close for a cancel
        progress_->deleteLater();
        progress_ = nullptr;
    }
}

} // namespace torl7
