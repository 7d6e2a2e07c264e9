#pragma once

#include "host/hostoptions.h"

class TdtmDBGeral;

// Opens the shared database connection that the modules' lookups run on.
// Throws EKrtError with a text that names the database when it cannot.
void openHostDatabase(TdtmDBGeral& module, const HostOptions& options);

// One line describing where the connection points (for the status bar).
QString describeHostDatabase(const HostOptions& options);
