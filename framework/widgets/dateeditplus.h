#pragma once

#include "framework/widgets/maskedit.h"

#include <QDate>
#include <QStringList>

class QCalendarWidget;

// Date edit: dd/mm/yyyy typed into a mask, a calendar popup from the button
// at its right end, blue text while the text is a valid date and the weekday
// name of that date as its tooltip.
class TDateEditPlus : public TMaskEdit
{
    Q_OBJECT
public:
    explicit TDateEditPlus(QWidget* parent = nullptr);

    // The date shown; a null QDate when the text is empty or not a date.
    QDate GetDate() const;
    // Shows the date; a null date empties the edit.
    void SetDate(const QDate& date);
    // True when the text is a complete, existing date.
    bool IsDateValid() const;

    // The text as displayed, mask characters included ("31/02/2024",
    // "12/__/____"); the empty text when nothing has been typed.
    QString Text() const;

    void setWeekDayNames(const QStringList& names) { m_dayNames = names; }
    const QStringList& WeekDayNames() const { return m_dayNames; }
    // Name of the weekday of a date (Sunday first).
    QString DayName(const QDate& date) const;

    // Opens the calendar on the current date (or today).
    void showCalendar();
    QCalendarWidget* calendar() const { return m_calendar; }

private:
    void updateLook();

    QStringList m_dayNames;
    QCalendarWidget* m_calendar = nullptr;
};
