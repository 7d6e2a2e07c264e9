#include "framework/widgets/maskedit.h"

#include "framework/widgets/editmask.h"
#include "framework/widgets/focustracker.h"

TMaskEdit::TMaskEdit(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (OnChange)
            krt::invokeHandler("OnChange", [this] { OnChange(this); });
    });
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

void TMaskEdit::setEditMask(const QString& classicMask)
{
    m_editMask = classicMask;
    const krt::TranslatedMask mask = krt::translateEditMask(classicMask);
    m_saveLiterals = mask.saveLiterals;
    m_blank = mask.blank;
    setInputMask(mask.inputMask);
}

QString TMaskEdit::Text() const
{
    const QString shown = text();
    if (inputMask().isEmpty() || m_saveLiterals)
        return shown;
    // Drop the literal characters of the mask: keep what stands in the
    // positions the user types into.
    const QString display = displayText();
    const QString empty = [this] {
        QLineEdit probe;
        probe.setInputMask(inputMask() + QLatin1Char(';') + m_blank);
        return probe.displayText();
    }();
    QString value;
    const QChar blank = m_blank;
    for (qsizetype i = 0; i < display.size() && i < empty.size(); ++i) {
        if (empty.at(i) == blank && display.at(i) != blank)
            value += display.at(i);
    }
    return value;
}
