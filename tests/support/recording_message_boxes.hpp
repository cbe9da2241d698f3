// Message boxes for window tests: records every box and answers questions from a script
// (No when the script is empty, as the default button would).
#pragma once

#include "gui/message_boxes.hpp"

#include <deque>
#include <functional>
#include <vector>

namespace torl7::test {

class RecordingMessageBoxes final : public MessageBoxes {
public:
    enum class Kind { Error, Information, Question, ConversionError };
    struct Shown {
        Kind kind;
        QString text;
        QString caption;
        // The dialog the box was raised over; nullptr: the main window.
        QWidget* over = nullptr;
        QString detail; // under the text of a "no answer" box
    };

    void error(const QString& text, const QString& caption, QWidget* over = nullptr) override {
        record({Kind::Error, text, caption, over, {}});
    }
    void information(const QString& text, const QString& caption,
                     QWidget* over = nullptr) override {
        record({Kind::Information, text, caption, over, {}});
    }
    Answer question(const QString& text, const QString& caption, QWidget* over = nullptr) override {
        record({Kind::Question, text, caption, over, {}});
        if (answers.empty()) {
            return Answer::No;
        }
        const Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void conversionError(const QString& text) override {
        record({Kind::ConversionError, text, QString(), nullptr, {}});
    }

    // A "no answer" box is an error box with the line's hint as its detail.
    bool noAnswer(const QString& text, const QString& caption, const QString& detail,
                  bool offerSearch, QWidget* over = nullptr) override {
        record({Kind::Error, text, caption, over, detail});
        searchOffered = offerSearch;
        return offerSearch && chooseSearch;
    }

    QStringList texts() const {
        QStringList all;
        for (const auto& box : shown) {
            all << box.text;
        }
        return all;
    }
    void clear() { shown.clear(); }

    std::vector<Shown> shown;
    std::deque<Answer> answers;
    // Whether the last "no answer" box offered "Поиск устройства", and whether it is pressed.
    bool searchOffered = false;
    bool chooseSearch = false;
    // Runs while a box is "open" (after it is recorded), like the nested event loop of a modal
    // box: a test can let timers fire or bytes arrive there.
    std::function<void(const Shown&)> whileOpen;

private:
    void record(Shown box) {
        shown.push_back(box);
        if (whileOpen) {
            whileOpen(shown.back());
        }
    }
};

} // namespace torl7::test
