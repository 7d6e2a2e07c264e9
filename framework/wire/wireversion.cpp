// Placeholder translation unit; replaced as the wire layer grows.
int krtWireVersion() { return 1; }
