#pragma once

#include "framework/core/handlerboundary.h"

#include <QFrame>

// A panel whose OnEnter/OnExit fire when the focus comes into it from outside
// or leaves it (see krt::FocusTracker).
class TPanel : public QFrame
{
    Q_OBJECT
public:
    explicit TPanel(QWidget* parent = nullptr);

    krt::TNotifyEvent OnEnter;
    krt::TNotifyEvent OnExit;
};
