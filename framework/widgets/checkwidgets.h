#pragma once

#include "framework/core/handlerboundary.h"

#include <QCheckBox>
#include <QRadioButton>

// Check box and radio button whose OnClick (a click of the user, or Click())
// runs through the handler boundary with the control as sender.
class TCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    explicit TCheckBox(const QString& caption, QWidget* parent = nullptr);
    bool Checked() const { return isChecked(); }
    void Click();
    krt::TNotifyEvent OnClick;
};

class TRadioButton : public QRadioButton
{
    Q_OBJECT
public:
    explicit TRadioButton(const QString& caption, QWidget* parent = nullptr);
    bool Checked() const { return isChecked(); }
    // Checks the button (unchecking its siblings) and runs OnClick.
    void Click();
    krt::TNotifyEvent OnClick;
};
