int krtFrameworkVersion() { return 1; }
