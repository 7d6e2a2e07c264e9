#include "framework/widgets/dialogframe.h"

#include <QWidget>

namespace krt {

void useDialogFrame(QWidget* dialog)
{
    if (!dialog)
        return;
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
}

} // namespace krt
