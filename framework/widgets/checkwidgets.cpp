#include "framework/widgets/checkwidgets.h"

TCheckBox::TCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent)
{
    connect(this, &QCheckBox::clicked, this, [this] {
        if (OnClick)
            krt::invokeHandler("OnClick", [this] { OnClick(this); });
    });
}

void TCheckBox::Click()
{
    click();
}

TRadioButton::TRadioButton(const QString& caption, QWidget* parent) : QRadioButton(caption, parent)
{
    connect(this, &QRadioButton::clicked, this, [this] {
        if (OnClick)
            krt::invokeHandler("OnClick", [this] { OnClick(this); });
    });
}

void TRadioButton::Click()
{
    click();
}
