// The "Журнал" tab: the archive's timeline of every unit, asked again whenever a filter changes
// and after each reading the window stores, and "Экспорт CSV…" of the events shown. The tab is
// the archive's, not the unit's: it is added here, after the unit's pages.
#pragma once

#include "gui/controllers/archive_feed.hpp"

#include <QObject>

namespace torl7 {

class Exports;
class JournalPage;
class MainWindow;

class Journal : public QObject {
    Q_OBJECT
public:
    enum class State {
        Asking,      // a question is out; the rows shown are those of the last answer
        Shown,       // the last answer is shown
        Empty,       // nothing archived yet
        Unavailable, // the archive could not be asked
    };

    // The CSV file goes through `exports`, where the grid's CSV is written.
    Journal(MainWindow& window, ArchiveFeed& archive, Exports& exports);

    JournalPage& page() { return *page_; }
    State state() const { return state_; }

    // Asks the archive with the filters as they stand.
    void refresh();
    void btn_journal_csvClick();

    // The filters as the archive takes them.
    TimelineFilter filter() const;

private:
    void answered(ArchiveFeed::Timeline timeline);
    void fillUnits(const std::vector<std::pair<int, UnitNames>>& units);
    void updateState();

    ArchiveFeed& archive_;
    Exports& exports_;
    JournalPage* page_;
    State state_ = State::Empty;
    QString problem_;
};

} // namespace torl7
