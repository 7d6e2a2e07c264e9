#include "framework/widgets/dateeditplus.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QStyle>

namespace {
const QString kFormat = QStringLiteral("dd/MM/yyyy");
}

TDateEditPlus::TDateEditPlus(QWidget* parent)
    : TMaskEdit(parent), m_dayNames{QStringLiteral("Domingo"), QStringLiteral("Segunda"),
                                    QStringLiteral("Terça"),   QStringLiteral("Quarta"),
                                    QStringLiteral("Quinta"),  QStringLiteral("Sexta"),
                                    QStringLiteral("Sábado")}
{
    setInputMask(QStringLiteral("99/99/9999;_"));
    QAction* open =
        addAction(style()->standardIcon(QStyle::SP_ArrowDown), QLineEdit::TrailingPosition);
    open->setToolTip(QStringLiteral("Calendário"));
    connect(open, &QAction::triggered, this, &TDateEditPlus::showCalendar);
    connect(this, &QLineEdit::textChanged, this, &TDateEditPlus::updateLook);
    updateLook();
}

QDate TDateEditPlus::GetDate() const
{
    const QDate date = QDate::fromString(displayText(), kFormat);
    return date.isValid() ? date : QDate();
}

void TDateEditPlus::SetDate(const QDate& date)
{
    setText(date.isValid() ? date.toString(kFormat) : QString());
}

bool TDateEditPlus::IsDateValid() const
{
    return GetDate().isValid();
}

QString TDateEditPlus::Text() const
{
    const QString shown = displayText();
    for (QChar c : shown) {
        if (c.isDigit())
            return shown;
    }
    return QString();
}

QString TDateEditPlus::DayName(const QDate& date) const
{
    if (!date.isValid())
        return QString();
    return m_dayNames.value(date.dayOfWeek() % 7); // Qt: Monday 1 .. Sunday 7
}

void TDateEditPlus::showCalendar()
{
    if (!m_calendar) {
        m_calendar = new QCalendarWidget(this);
        m_calendar->setWindowFlags(Qt::Popup);
        m_calendar->setFirstDayOfWeek(Qt::Sunday);
        m_calendar->setGridVisible(true);
        m_calendar->setLocale(QLocale(QLocale::Portuguese, QLocale::Brazil));
        connect(m_calendar, &QCalendarWidget::clicked, this, [this](QDate date) {
            SetDate(date);
            m_calendar->hide();
            setFocus(Qt::PopupFocusReason);
        });
    }
    const QDate current = GetDate();
    m_calendar->setSelectedDate(current.isValid() ? current : QDate::currentDate());
    m_calendar->move(mapToGlobal(QPoint(0, height())));
    m_calendar->show();
}

void TDateEditPlus::updateLook()
{
    const QDate date = GetDate();
    QPalette pal = palette();
    pal.setColor(QPalette::Text, date.isValid()
                                     ? QColor(Qt::blue)
                                     : QApplication::palette(this).color(QPalette::Text));
    setPalette(pal);
    setToolTip(DayName(date));
}
