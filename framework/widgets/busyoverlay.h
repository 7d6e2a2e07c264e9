#pragma once

#include <QFrame>

class QLabel;
class QProgressBar;

namespace krt {

// The framed box drawn in the middle of the main form during a wait: a text
// and an endlessly moving bar.
class BusyOverlay : public QFrame
{
    Q_OBJECT
public:
    explicit BusyOverlay(QWidget* parent);

    void setText(const QString& text);
    QString text() const;

    // Centres the box over its parent and brings it to the front.
    void placeOverParent();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* m_label;
    QProgressBar* m_bar;
};

// Shows, updates or removes the one box over `host` as the wait animation's
// state stands (depth and innermost kind); the people's host services call it
// whenever that state changes.
void presentBusy(QWidget* host);

// The box while shown (nullptr otherwise); for the host and tests.
QWidget* busyOverlay();

} // namespace krt
