#pragma once

#include "framework/core/handlerboundary.h"

#include <QLineEdit>

// A line edit with a classic edit mask (">aaaa;0; ": upper case, up to four
// letters or digits) or, without a mask, a plain MaxLength. OnChange fires on
// every change of the text, typed or set by code; OnEnter/OnExit when the focus
// comes in or leaves. All run through the handler boundary.
class TMaskEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit TMaskEdit(QWidget* parent = nullptr);

    void setEditMask(const QString& classicMask);
    QString EditMask() const { return m_editMask; }
    void setMaxLength(int length) { QLineEdit::setMaxLength(length > 0 ? length : 32767); }
    int MaxLength() const { return maxLength(); }

    // The value: with a mask that does not save literals, only what was typed
    // into the mask's positions; otherwise the text as shown (without blanks).
    QString Text() const;
    void setText(const QString& text) { QLineEdit::setText(text); }
    // The text with the mask's blanks, as the user sees it.
    QString EditText() const { return displayText(); }

    krt::TNotifyEvent OnChange;
    krt::TNotifyEvent OnEnter;
    krt::TNotifyEvent OnExit;

private:
    QString m_editMask;
    bool m_saveLiterals = true;
    QChar m_blank = QLatin1Char(' ');
};
