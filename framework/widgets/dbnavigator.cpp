#include "framework/widgets/dbnavigator.h"

#include "framework/core/handlerboundary.h"
#include "framework/data/dataset.h"
#include "framework/data/datasource.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

TDBNavigator::TDBNavigator(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const QStyle::StandardPixmap icons[4] = {
        QStyle::SP_MediaSkipBackward, QStyle::SP_MediaSeekBackward, QStyle::SP_MediaSeekForward,
        QStyle::SP_MediaSkipForward};
    const char* hints[4] = {"Primeiro", "Anterior", "Próximo", "Último"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QToolButton(this);
        b->setIcon(style()->standardIcon(icons[i]));
        b->setToolTip(QString::fromUtf8(hints[i]));
        b->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(b);
        m_buttons[i] = b;
        connect(b, &QToolButton::clicked, this, [this, i] { BtnClick(Button(i)); });
    }
    updateButtons();
}

void TDBNavigator::BtnClick(Button button)
{
    TDataSet* ds = m_link.dataSet();
    if (!ds || !ds->Active())
        return;
    krt::invokeHandler("TDBNavigator.Click", [ds, button] {
        switch (button) {
        case nbFirst:
            ds->First();
            break;
        case nbPrior:
            ds->Prior();
            break;
        case nbNext:
            ds->Next();
            break;
        case nbLast:
            ds->Last();
            break;
        }
    });
    updateButtons();
}

void TDBNavigator::updateButtons()
{
    TDataSet* ds = m_link.dataSet();
    const bool usable = ds && ds->Active() && !ds->IsEmpty();
    const int row = usable ? ds->CurrentIndex() : -1;
    const int last = usable ? ds->RecordCount() - 1 : -1;
    m_buttons[nbFirst]->setEnabled(usable && row > 0);
    m_buttons[nbPrior]->setEnabled(usable && row > 0);
    m_buttons[nbNext]->setEnabled(usable && row < last);
    m_buttons[nbLast]->setEnabled(usable && row < last);
}
