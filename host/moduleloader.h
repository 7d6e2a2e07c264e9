#pragma once

#include <QLibrary>
#include <QObject>
#include <QString>
#include <functional>

// Loads the screen module at run time by path (the host never links it),
// runs its start-up, opens its screen on request and unloads it again.
//
// Unloading is only safe once nothing the module made is alive: the caller
// gives a hook that destroys the module's windows; the loader then lets Qt
// run the pending deletions before the module's closing work and unload.
class ModuleLoader
{
public:
    using EntryPoint = void (*)();

    ModuleLoader() = default;
    ~ModuleLoader();
    ModuleLoader(const ModuleLoader&) = delete;
    ModuleLoader& operator=(const ModuleLoader&) = delete;

    // Loads the library and runs its Initialize. False with errorString()
    // set (a missing file, a file that is not a loadable module, a module
    // without the entry points); nothing stays loaded then.
    bool load(const QString& path);
    bool isLoaded() const { return m_library.isLoaded() && m_iniProc; }
    QString path() const { return m_path; }
    QString errorString() const { return m_error; }

    // Calls IniProc. Whatever it raises reaches the caller.
    void iniProc() const;

    // Runs the module's closing work and unloads it. `destroyModuleWidgets`
    // runs first and must delete every window the module created. A closing
    // work that raises is reported in errorString(); the module is unloaded
    // all the same.
    void unload(const std::function<void()>& destroyModuleWidgets = {});

    // Resolves an exported item of the loaded module (nullptr when absent).
    void* resolve(const char* symbol);

    // Whether the object's class is defined in the loaded module (its
    // meta-object lives in the module's image).
    bool isModuleObject(const QObject* object) const;

private:
    QLibrary m_library;
    QString m_path;
    QString m_error;
    EntryPoint m_initialize = nullptr;
    EntryPoint m_finalize = nullptr;
    EntryPoint m_iniProc = nullptr;
    const void* m_imageBase = nullptr;
};

class QMdiArea;
class QWidget;

// Deletes what the module shows: every subwindow of the MDI area (they hold
// the module's screens) and every parentless window whose class the module
// defines (its dialogs, kept hidden between uses). `host` is never touched.
void destroyModuleWindows(const ModuleLoader& loader, QMdiArea* area, const QWidget* host);
