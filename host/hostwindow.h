#pragma once

#include "host/moduleloader.h"

#include <QMainWindow>

class QAction;
class QLabel;
class QMdiArea;

// The host's main window: an MDI area for the module's screens, a menu that
// opens the cancellation screen (the module's IniProc) and commands to load
// and unload the module at run time.
class HostWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit HostWindow(QWidget* parent = nullptr);
    ~HostWindow() override;

    QMdiArea* mdiArea() const { return m_mdiArea; }
    ModuleLoader& loader() { return m_loader; }

    // Loads the module; a failure is shown to the user and returned as false.
    bool loadModule(const QString& path);
    // Destroys the module's windows, runs its closing work and unloads it.
    void unloadModule();
    // The user's command: with screens of the module open, asks first and
    // closes them as the user would (their closing work runs); unloads only
    // when every one closed. True when the module is no longer loaded.
    bool requestUnloadModule();
    // Runs the module's IniProc through the handler boundary.
    void openCancellationScreen();

    // Text of the status bar's connection part.
    void setContextDescription(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void chooseAndLoadModule();
    // Asks whether to close the module's open screens and closes them; true
    // when none is left open.
    bool closeModuleScreens();
    void updateActions();

    ModuleLoader m_loader;
    QMdiArea* m_mdiArea;
    QAction* m_openScreen;
    QAction* m_loadModule;
    QAction* m_unloadModule;
    QLabel* m_moduleLabel;
    QLabel* m_contextLabel;
};
