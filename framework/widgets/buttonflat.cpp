#include "framework/widgets/buttonflat.h"

#include <QEvent>

TButtonFlat::TButtonFlat(QWidget* parent) : QToolButton(parent)
{
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus); // a toolbar button never takes the focus from an edit
    connect(this, &QToolButton::clicked, this, [this] { Click(); });
}

void TButtonFlat::setGlyph(const QIcon& glyph)
{
    m_glyph = glyph;
    updateIcon();
}

void TButtonFlat::setDisabledGlyph(const QIcon& glyph)
{
    m_disabledGlyph = glyph;
    updateIcon();
}

void TButtonFlat::Click()
{
    if (OnClick)
        krt::invokeHandler("OnClick", [this] { OnClick(this); });
}

void TButtonFlat::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        updateIcon();
    QToolButton::changeEvent(event);
}

void TButtonFlat::updateIcon()
{
    setIcon(!isEnabled() && !m_disabledGlyph.isNull() ? m_disabledGlyph : m_glyph);
}
