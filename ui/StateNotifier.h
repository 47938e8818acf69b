#pragma once

#include <QObject>

namespace dz {

// Tells the tabs that show the controller's published state when to read it
// again. The program emits it; tests emit it by hand.
class StateNotifier : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;

  signals:
    // The controller's published state changed (script error, refused
    // shortcuts, tray availability...).
    void stateChanged();
};

}  // namespace dz
