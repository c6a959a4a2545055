#pragma once

#include "app/AppContainer.h"
#include "core/desktop/MemoryPreferenceStore.h"
#include "core/desktop/QTimerScheduler.h"
#include "x11/X11DesktopBackend.h"

#include "X11TestSupport.h"

#include <QProcess>
#include <QTest>

// The whole engine over the application's X11 backend, restarted from stored locks as at start-up.
class X11EngineTest : public QObject {
protected:
    std::unique_ptr<X11DesktopBackend> m_backend;
    QTimerScheduler m_scheduler;
    MemoryPreferenceStore m_prefs;
    std::unique_ptr<AppContainer> m_app;

    bool openBackend() {
        m_backend = X11DesktopBackend::open();
        return m_backend != nullptr;
    }
    // A fresh engine over these stored locks.
    void startEngine(const QList<LockRule>& rules) {
        m_app.reset();
        m_prefs.setData(LockStore::rulesKey, *encodeRules(rules));
        m_app = std::make_unique<AppContainer>(m_prefs, *m_backend, m_scheduler);
    }
    // The identifier of the first display, read by a fresh engine.
    QString screenID() {
        startEngine({});
        return m_app->displays().displays().value(0).id;
    }
    // The main window of a started client once the engine sees it; 0 when it does not within 5 s.
    WindowRef waitForMainWindow(const QProcess* process) {
        WindowRef w = 0;
        [&] {
            QTRY_VERIFY_WITH_TIMEOUT(
                (w = m_app->windowAccess().mainWindow(TestClients::pid(process)).value_or(0)), 5000);
        }();
        return w;
    }
};
