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

} // namespace krt
