#pragma once
// The base of every settings tab: controls write straight into the settings
// store, and every published record refreshes them.

#include <functional>
#include <utility>
#include <vector>

#include <QString>
#include <QWidget>

#include "app/settings/AppSettings.h"

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QVBoxLayout;

namespace dz {

class SettingsPage : public QWidget {
  public:
    explicit SettingsPage(AppSettings& settings, QWidget* parent = nullptr);

    // A smaller, dimmer explanation under a control.
    static QLabel* caption(const QString& text, QWidget* parent = nullptr);
    // A problem the user should see: normal size and contrast, after a
    // warning sign; hidden while there is none.
    static QLabel* warning(const QString& text, QWidget* parent = nullptr);
    static void setWarning(QLabel* label, const QString& text);
    // A control's text as read out: without its mnemonic marks.
    static QString withoutMnemonic(QString text);

  protected:
    // Copies the current record, lets `edit` change it and publishes it.
    void change(const std::function<void(SettingsData&)>& edit);
    // Runs now and after every published record, with the page's signals
    // blocked so that refreshing never writes back.
    void onSettings(std::function<void(const SettingsData&)> refresh);

    // A check box for the flag at the end of the member path, such as
    // toggle<&SettingsData::cleaning, &CleaningOptions::normalizeSpaces>.
    template <auto... Path>
    QCheckBox* toggle(QBoxLayout* layout, const QString& title, const QString& caption = {}) {
        return addToggle(
            layout, title, caption, [](const SettingsData& d) { return (d.*....*Path); },
            [](SettingsData& d, bool on) { (d.*....*Path) = on; });
    }
    QCheckBox* addToggle(QBoxLayout* layout, const QString& title, const QString& caption,
                         std::function<bool(const SettingsData&)> get,
                         std::function<void(SettingsData&, bool)> set);

    // A labelled picker whose entries carry values of T.
    template <typename T>
    QComboBox* picker(QBoxLayout* layout, const QString& label,
                      const std::vector<std::pair<QString, T>>& entries,
                      std::function<T(const SettingsData&)> get, std::function<void(T)> choose);

    // A group with a title and a vertical layout.
    static QGroupBox* section(QBoxLayout* parent, const QString& title, QVBoxLayout** inner);
    // A page scrolls when the window is too small for it.
    static QVBoxLayout* scrollingLayout(QWidget* page);

    AppSettings& settings_;

  private:
    QComboBox* addPicker(QBoxLayout* layout, const QString& label, const std::vector<QString>& titles,
                         std::function<int(const SettingsData&)> index, std::function<void(int)> chosen);

    std::vector<std::function<void(const SettingsData&)>> refreshers_;
    Observable<SettingsData>::Subscription subscription_;
};

template <typename T>
QComboBox* SettingsPage::picker(QBoxLayout* layout, const QString& label,
                                const std::vector<std::pair<QString, T>>& entries,
                                std::function<T(const SettingsData&)> get, std::function<void(T)> choose) {
    std::vector<QString> titles;
    for (const auto& entry : entries) titles.push_back(entry.first);
    auto values = std::make_shared<std::vector<T>>();
    for (const auto& entry : entries) values->push_back(entry.second);
    return addPicker(
        layout, label, titles,
        [values, get](const SettingsData& d) {
            const T current = get(d);
            for (size_t i = 0; i < values->size(); ++i)
                if ((*values)[i] == current)
                    return int(i);
            return -1;
        },
        [values, choose](int i) {
            if (i >= 0 && size_t(i) < values->size())
                choose((*values)[size_t(i)]);
        });
}

}  // namespace dz
