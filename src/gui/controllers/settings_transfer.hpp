// "Сохранить настройки…" and "Загрузить настройки…" on the "Конфигурация" page: the page to a
// settings file and a settings file to the page. Nothing goes to the unit; a loaded file is
// written only by "Записать конфигурацию".
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>

namespace torl7 {

class MainWindow;

class SettingsTransfer : public QObject {
    Q_OBJECT
public:
    explicit SettingsTransfer(MainWindow& window);

    void btn_save_settingsClick();
    void btn_load_settingsClick();

    // The file's text for the page as it stands; empty when a field does not convert (the
    // error box has said which). The firmware text is the one shown on the page unless the
    // caller has just read it from the unit (empty when the unit did not give it).
    std::string settingsText(const std::optional<QString>& firmwareRead = std::nullopt) const;

    // Where to save (offering `defaultName`) and what to open; an empty answer cancels. The
    // program shows file dialogs; tests answer themselves.
    std::function<QString(const QString& defaultName)> askSaveName;
    std::function<QString()> askOpenName;
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

private:
    MainWindow& window_;
};

} // namespace torl7
