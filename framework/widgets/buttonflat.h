#pragma once

#include "framework/core/handlerboundary.h"

#include <QIcon>
#include <QToolButton>

// The host's flat toolbar button: a hint, up to two glyphs (the second is
// shown while the button is disabled) and OnClick run through the handler
// boundary with the button as sender.
class TButtonFlat : public QToolButton
{
    Q_OBJECT
public:
    explicit TButtonFlat(QWidget* parent = nullptr);

    void setHint(const QString& hint) { setToolTip(hint); }
    QString Hint() const { return toolTip(); }

    void setGlyph(const QIcon& glyph);
    // Glyph shown while disabled; without it Qt greys the first one.
    void setDisabledGlyph(const QIcon& glyph);
    int NumGlyphs() const { return m_disabledGlyph.isNull() ? 1 : 2; }

    // Runs OnClick the way a click of the user does.
    void Click();

    krt::TNotifyEvent OnClick;

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateIcon();

    QIcon m_glyph;
    QIcon m_disabledGlyph;
};
