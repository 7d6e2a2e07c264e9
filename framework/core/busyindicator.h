#pragma once

#include <QString>

class QWidget;

// Wait animation over the main form while the application talks to the
// server. Calls nest: every ActiveShowAvi needs one DeactiveShowAvi; the
// animation and the wait cursor stay while at least one is open. This layer
// keeps the state and the cursor; the host's services draw the animation
// (told through IHostServices::busyChanged). An extra
// DeactiveShowAvi is ignored (the depth never goes below zero).
// Kinds: 0 connecting to the server, 6 generic wait.
void ActiveShowAvi(QWidget* form, int kind);
void DeactiveShowAvi();

namespace krt {

// Current nesting depth of the wait animation.
int busyDepth();

// Text shown for a kind of wait.
QString busyText(int kind);

// The kind of the innermost open wait (-1 when none is open).
int busyKind();

// The form the outermost open wait was shown for (nullptr when none is open
// or it is gone).
QWidget* busyForm();

// Keeps the wait animation open for the lifetime of the object, also when an
// exception leaves the scope.
class BusyScope
{
public:
    explicit BusyScope(QWidget* form, int kind = 6) { ActiveShowAvi(form, kind); }
    ~BusyScope() { DeactiveShowAvi(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
};

} // namespace krt
