#pragma once

#include <QIcon>
#include <QPixmap>

// Pictures of the cancellation screen, drawn in code so the module carries
// no image files.
namespace screenglyphs {

QIcon cancelConsolidation(bool enabled);
QIcon filter(bool enabled);
QPixmap approved();     // 20 by 20
QPixmap invoiceNotOk(); // 16 by 16
QPixmap invoiceOk();    // 16 by 16

} // namespace screenglyphs
