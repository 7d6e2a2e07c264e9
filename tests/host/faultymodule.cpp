// A module that loads and starts but whose closing work fails, as a module
// built with a bug would: the host must still unload it and go on.
#include <stdexcept>

extern "C" __attribute__((visibility("default"))) void Initialize() {}

extern "C" __attribute__((visibility("default"))) void Finalize()
{
    throw std::runtime_error("closing work failed");
}

extern "C" __attribute__((visibility("default"))) void IniProc()
{
    throw std::runtime_error("no screen here");
}
