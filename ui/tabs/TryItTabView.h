#pragma once
// The Try It tab: any text, or the clipboard, run through the whole pipeline
// for a chosen source and destination, without touching the clipboard.

#include <QWidget>

#include "app/settings/AppSettings.h"
#include "app/tryit/TryItTab.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace dz {

class TryItTabView : public QWidget {
  public:
    TryItTabView(AppSettings& settings, TryItTab& model, QWidget* parent = nullptr);

    QPlainTextEdit* before() const { return before_; }
    QPlainTextEdit* after() const { return after_; }
    QComboBox* sources() const { return sources_; }
    QComboBox* destinations() const { return destinations_; }
    QComboBox* format() const { return format_; }
    QLabel* explanation() const { return explanation_; }
    QLabel* note() const { return note_; }
    QPushButton* useClipboard() const { return useClipboard_; }

    // Shows the model's state.
    void refresh();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    TryItTab& model_;
    Observable<SettingsData>::Subscription subscription_;
    std::vector<TryItTab::Place> sourcePlaces_;
    std::vector<TryItTab::Place> destinationPlaces_;
    QPlainTextEdit* before_;
    QPlainTextEdit* after_;
    QComboBox* sources_;
    QComboBox* destinations_;
    QComboBox* format_;
    QLabel* explanation_;
    QLabel* note_;
    QPushButton* useClipboard_;
    bool refreshing_ = false;
};

}  // namespace dz
