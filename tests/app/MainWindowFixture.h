#pragma once

#include "AgentProfile.h"
#include "AgentProfileFile.h"
#include "DailyLogFile.h"
#include "ErrorReport.h"
#include "InterfaceList.h"
#include "MainWindow.h"
#include "PollCycle.h"
#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A main window in a private settings folder, with errors recorded instead of shown.
class MainWindowFixture
{
public:
    MainWindowFixture()
    {
        // Qt reads the configuration folder once per process: one private folder for the
        // whole test program, emptied for every fixture.
        static QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        QFile::remove(SettingsStore().location());
        QFile::remove(AgentProfileFile::defaultPath());
        ErrorReport::setHandler([this](const QString &message) { errors << message; });
    }
    ~MainWindowFixture() { ErrorReport::setHandler({}); }

    void store(const QString &name, const QString &text)
    {
        SettingsStore settings;
        settings.write(name, text);
    }
    QString stored(const QString &name) const
    {
        SettingsStore settings;
        return settings.read(name);
    }
    bool exists(const QString &name) const
    {
        SettingsStore settings;
        return settings.exists(name);
    }

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write fixture file");
        file.write(bytes);
        return path;
    }
    QString folder() const { return m_dir.path(); }

    TForm1 &create(const QString &commandLine = QString())
    {
        form = std::make_unique<TForm1>(commandLine);
        form->logEnvironment().programFolder = m_dir.path();
        return *form;
    }

    QStringList errors;
    std::unique_ptr<TForm1> form;

private:
    QTemporaryDir m_dir;
};
