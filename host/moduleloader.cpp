#include "host/moduleloader.h"

#include "framework/core/errors.h"
#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QWidget>
#include <dlfcn.h>

#include <exception>

ModuleLoader::~ModuleLoader()
{
    // Leave the library mapped when the host ends without an explicit unload:
    // its windows may still be alive until the application object goes.
}

bool ModuleLoader::load(const QString& path)
{
    if (isLoaded())
        unload();
    m_error.clear();
    m_path = path;

    const QFileInfo file(path);
    if (!file.exists()) {
        m_error = QStringLiteral("Módulo não encontrado: %1").arg(path);
        return false;
    }
    if (!file.isFile() || !file.isReadable()) {
        m_error =
            QStringLiteral("Módulo sem permissão de leitura ou não é um arquivo: %1").arg(path);
        return false;
    }

    m_library.setFileName(file.absoluteFilePath());
    // Resolve every symbol now so a module built against another framework
    // fails here with a message instead of later with a crash.
    m_library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    if (!m_library.load()) {
        m_error = QStringLiteral("Não foi possível carregar o módulo %1: %2")
                      .arg(path, m_library.errorString());
        return false;
    }

    m_initialize = reinterpret_cast<EntryPoint>(m_library.resolve("Initialize"));
    m_finalize = reinterpret_cast<EntryPoint>(m_library.resolve("Finalize"));
    m_iniProc = reinterpret_cast<EntryPoint>(m_library.resolve("IniProc"));
    if (!m_initialize || !m_finalize || !m_iniProc) {
        QStringList missing;
        if (!m_initialize)
            missing << QStringLiteral("Initialize");
        if (!m_finalize)
            missing << QStringLiteral("Finalize");
        if (!m_iniProc)
            missing << QStringLiteral("IniProc");
        m_error = QStringLiteral("O arquivo %1 não é um módulo válido: faltam as rotinas %2.")
                      .arg(path, missing.join(QStringLiteral(", ")));
        m_initialize = m_finalize = m_iniProc = nullptr;
        m_library.unload();
        return false;
    }

    try {
        m_initialize();
    } catch (const std::exception& e) {
        m_error = QStringLiteral("Falha na inicialização do módulo %1: %2")
                      .arg(path, QString::fromUtf8(e.what()));
    } catch (...) {
        m_error = QStringLiteral("Falha na inicialização do módulo %1.").arg(path);
    }
    if (!m_error.isEmpty()) {
        m_initialize = m_finalize = m_iniProc = nullptr;
        m_library.unload();
        return false;
    }
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(m_iniProc), &info))
        m_imageBase = info.dli_fbase;
    return true;
}

bool ModuleLoader::isModuleObject(const QObject* object) const
{
    if (!object || !m_imageBase)
        return false;
    Dl_info info{};
    return dladdr(object->metaObject(), &info) && info.dli_fbase == m_imageBase;
}

void destroyModuleWindows(const ModuleLoader& loader, QMdiArea* area, const QWidget* host)
{
    if (area) {
        const auto subWindows = area->subWindowList();
        for (QMdiSubWindow* sub : subWindows) {
            area->removeSubWindow(sub);
            delete sub;
        }
    }
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows)
        if (w != host && !w->parentWidget() && loader.isModuleObject(w))
            delete w;
}

void ModuleLoader::iniProc() const
{
    if (!m_iniProc)
        throw EKrtError(QStringLiteral("Nenhum módulo carregado."));
    m_iniProc();
}

void* ModuleLoader::resolve(const char* symbol)
{
    if (!m_library.isLoaded())
        return nullptr;
    return reinterpret_cast<void*>(m_library.resolve(symbol));
}

void ModuleLoader::unload(const std::function<void()>& destroyModuleWidgets)
{
    if (!m_library.isLoaded())
        return;
    if (destroyModuleWidgets)
        destroyModuleWidgets();
    // Deletions queued with deleteLater run code of the module: let them run
    // while it is still mapped.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // A failing closing work must not keep the module loaded nor reach the
    // caller (a menu command, the host's destructor): it is recorded instead.
    m_error.clear();
    if (m_finalize) {
        try {
            m_finalize();
        } catch (const EKrtError& e) {
            m_error = QStringLiteral("Falha na finalização do módulo %1: %2").arg(m_path, e.text());
        } catch (const std::exception& e) {
            m_error = QStringLiteral("Falha na finalização do módulo %1: %2")
                          .arg(m_path, QString::fromUtf8(e.what()));
        } catch (...) {
            m_error = QStringLiteral("Falha na finalização do módulo %1.").arg(m_path);
        }
    }
    m_initialize = m_finalize = m_iniProc = nullptr;
    m_imageBase = nullptr;
    m_library.unload();
}
