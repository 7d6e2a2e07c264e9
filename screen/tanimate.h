#pragma once

#include "shared/krt52600export.h"

#include <QTimer>
#include <QWidget>

// A small looping animation of a sheet of paper flying from one folder to
// another, the picture users know from copying files. Inactive it shows its
// stop frame. Exported: the screen's progress panel shows it to whoever
// reaches the screen's components.
class KRT52600_EXPORT TAnimate : public QWidget
{
    Q_OBJECT
public:
    static constexpr int FrameCount = 32;

    explicit TAnimate(QWidget* parent = nullptr);

    bool Active() const { return m_timer.isActive(); }
    void setActive(bool active);
    int StopFrame() const { return m_stopFrame; }
    void setStopFrame(int frame);
    int currentFrame() const { return m_frame; }

    QSize sizeHint() const override { return {272, 60}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void advance();

    QTimer m_timer;
    int m_frame = 0;
    int m_stopFrame = FrameCount - 1;
};
