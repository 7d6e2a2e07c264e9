#include "framework/forms/mdiactivation.h"

#include "framework/core/handlerboundary.h"

#include <QMdiSubWindow>

namespace krt {

void onMdiActivate(QMdiSubWindow* window, QObject* context, std::function<void()> onActivate)
{
    QObject::connect(window, &QMdiSubWindow::aboutToActivate, context,
                     [fn = std::move(onActivate)] { invokeHandler("FormActivate", fn); });
}

} // namespace krt
