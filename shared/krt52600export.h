#pragma once

// The module is built with hidden visibility so that it can be unloaded
// cleanly; only what the host and the other units reach by name is exported.
#define KRT52600_EXPORT __attribute__((visibility("default")))
