#pragma once

#include <QString>

class QAccessibleInterface;
class QObject;

namespace krt {

// The accessible description of tab bars (the page controls' tabs): Qt's own
// reports every tab enabled, so a screen reader announced the detail pages of
// an empty list as usable while they are greyed out and ignore clicks. Here a
// tab is disabled exactly when the bar disables it. Installed by
// installAccessibility().
QAccessibleInterface* tabBarAccessibleFactory(const QString& className, QObject* object);

} // namespace krt
