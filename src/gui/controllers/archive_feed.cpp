#include "gui/controllers/archive_feed.hpp"

#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "records/timeline_rows.hpp"

#include <QDir>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace torl7 {

namespace {

QString shown(const QString& location) {
    if (location.contains(QLatin1String("://"))) {
        return QUrl(location).adjusted(QUrl::RemovePassword | QUrl::RemoveQuery).toString();
    }
    return QDir::toNativeSeparators(location);
}

// Asks `question` of the archive at `location`, opened for reading; why it could not be asked.
std::optional<ArchiveProblem> askReading(const QString& location,
                                         const std::function<void(Archive&)>& question) {
    auto opened = Archive::open(location, Archive::Access::ReadOnly);
    if (auto* problem = std::get_if<ArchiveProblem>(&opened)) {
        return *problem;
    }
    try {
        question(*std::get<std::unique_ptr<Archive>>(opened));
    } catch (const ArchiveError& error) {
        return error.problem;
    }
    return std::nullopt;
}

ArchiveFeed::Timeline askArchive(const QString& location, const TimelineFilter& filter) {
    ArchiveFeed::Timeline timeline;
    timeline.problem = askReading(location, [&](Archive& archive) {
        timeline.units = archive.units();
        timeline.rows = timelineRows(archive.timeline(filter));
    });
    return timeline;
}

} // namespace

QString notArchivedText(const ArchiveProblem& problem, const QString& shownLocation) {
    using Kind = ArchiveProblem::Kind;
    switch (problem.kind) {
    case Kind::NotADatabase:
        return QStringLiteral("файл %1 не является базой данных").arg(shownLocation);
    case Kind::NotAnArchive:
        return QStringLiteral("база %1 хранит не архив ТОРЛ-7").arg(shownLocation);
    case Kind::Newer:
        return QStringLiteral("архив %1 создан более новой версией программы и не изменён")
            .arg(shownLocation);
    case Kind::ReadOnly:
        return QStringLiteral("нет права записи в %1").arg(shownLocation);
    case Kind::Locked:
        return QStringLiteral("архив %1 занят другой программой").arg(shownLocation);
    case Kind::Missing:
        return QStringLiteral("архив %1 ещё не создан").arg(shownLocation);
    case Kind::Unreachable:
        return QStringLiteral("сервер архива %1 недоступен").arg(shownLocation);
    case Kind::Failed:
        break;
    }
    return QStringLiteral("ошибка архива %1 (%2)").arg(shownLocation, problem.message);
}

ArchiveFeed::ArchiveFeed(MainWindow& window, QString location)
    : QObject(&window), session_(window.session()), boxes_(window.boxes()),
      location_(std::move(location)), writer_(std::make_unique<ArchiveWriter>(location_)) {
    setObjectName(QStringLiteral("ArchiveFeed"));
    writer_->onNotWritten = [this](const ArchiveProblem& problem) { notWritten(problem); };
}

ArchiveFeed::~ArchiveFeed() {
    waiting_.clear();
    if (question_.joinable()) {
        question_.join();
    }
}

QString ArchiveFeed::shownLocation() const {
    return shown(location_);
}

ArchiveReading ArchiveFeed::reading(const char* kind) const {
    ArchiveReading reading;
    reading.unit = session_.factoryNumber();
    reading.kind = kind;
    return reading;
}

void ArchiveFeed::store(ArchiveReading reading) {
    writer_->store(std::move(reading));
    emit handedOver();
}

void ArchiveFeed::notWritten(const ArchiveProblem& problem) {
    if (std::exchange(said_, true)) {
        return;
    }
    boxes_.error(QStringLiteral("Считанное не сохранено в архив: %1.\nЧтение выполнено; об "
                                "архиве до конца работы программы больше не сообщается.")
                     .arg(notArchivedText(problem, shownLocation())),
                 kCaptionTool);
}

void ArchiveFeed::askTimeline(TimelineFilter filter, Answered answered) {
    ask(Topic::Timeline, [location = location_, filter = std::move(filter),
                          answered = std::move(answered)] {
        return std::function<void()>([answered, timeline = askArchive(location, filter)]() mutable {
            answered(std::move(timeline));
        });
    });
}

void ArchiveFeed::askLastSeen(std::function<void(std::vector<UnitSeen>)> answered) {
    ask(Topic::LastSeen, [location = location_, answered = std::move(answered)] {
        // When the archive cannot be asked nothing is known: the units show what this run finds.
        std::vector<UnitSeen> seen;
        askReading(location, [&](Archive& archive) { seen = archive.lastSeen(); });
        return std::function<void()>([answered, seen] { answered(seen); });
    });
}

bool ArchiveFeed::askingTimeline() const {
    return (asking() && running_ == Topic::Timeline) ||
           std::any_of(waiting_.begin(), waiting_.end(),
                       [](const auto& waiting) { return waiting.first == Topic::Timeline; });
}

void ArchiveFeed::ask(Topic topic, Question question) {
    if (!asking()) {
        startQuestion(topic, std::move(question));
        return;
    }
    const auto same = std::find_if(waiting_.begin(), waiting_.end(),
                                   [topic](const auto& waiting) { return waiting.first == topic; });
    if (topic == Topic::Timeline && same != waiting_.end()) {
        same->second = std::move(question); // the filter changed again: the latest counts
    } else {
        waiting_.emplace_back(topic, std::move(question));
    }
}

void ArchiveFeed::startQuestion(Topic topic, Question question) {
    running_ = topic;
    question_ = std::thread([this, question = std::move(question)] {
        // What the window has read is in the answer: the writer's queue goes first.
        writer_->waitUntilStored();
        std::function<void()> answer = question();
        QMetaObject::invokeMethod(
            this, [this, answer = std::move(answer)] { questionEnded(answer); },
            Qt::QueuedConnection);
    });
}

void ArchiveFeed::questionEnded(const std::function<void()>& answer) {
    question_.join();
    if (!waiting_.empty()) {
        auto [topic, next] = std::move(waiting_.front());
        waiting_.pop_front();
        startQuestion(topic, std::move(next));
    }
    answer();
}

} // namespace torl7
