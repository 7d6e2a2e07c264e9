#include "framework/widgets/panel.h"

#include "framework/widgets/focustracker.h"

TPanel::TPanel(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    krt::FocusTracker::instance().track(
        this,
        [this](QObject* sender) {
            if (OnEnter)
                OnEnter(sender);
        },
        [this](QObject* sender) {
            if (OnExit)
                OnExit(sender);
        });
}
