#include "StartupSettings.h"

#include "ErrorReport.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

#include <QHash>
#include <QSet>

bool applyStartupSettings(SettingsStore &store, const ApplySetting &apply)
{
    using namespace SettingsKeys;
    bool storeOk = true;
    // Each read, default write and application is a step of its own: a failing step is
    // reported (a store that cannot be written once) and costs only its own value.
    const auto step = [&](const std::function<void()> &body) {
        const bool ok = ErrorReport::guarded(body);
        storeOk = storeOk && ok;
        return ok;
    };

    // The texts stored when start-up begins. Applying a value runs its control's handler,
    // and a handler may store more than its own value (the poll-interval handler also
    // stores "double update speed" from a check box that is not applied yet); reading
    // such a value afterwards would apply the handler's text instead of the stored one.
    QHash<QString, QString> stored;
    QSet<QString> unreadable;
    for (const Setting &setting : StartupOrder) {
        const QString name = setting.name.toString();
        const bool read = step([&] {
            if (store.exists(setting.name))
                stored.insert(name, store.read(setting.name));
        });
        if (!read)
            unreadable.insert(name);
    }

    // What could not be read stays as the operator stored it, whatever the handlers store.
    const SettingsHold hold(unreadable.values());

    const auto ensureOne = [&](const Setting &setting) {
        step([&] { ensure(store, setting.name, setting.defaultText.toString()); });
    };
    // A value that cannot be read as text keeps its control's initial state; an absent one
    // takes its default, also when the default could not be written.
    const auto applyOne = [&](const Setting &setting) {
        const QString name = setting.name.toString();
        if (unreadable.contains(name))
            return;
        const auto it = stored.constFind(name);
        const QString text = it != stored.cend() ? *it : setting.defaultText.toString();
        ErrorReport::guarded([&] { apply(setting.name, text); });
    };

    const Setting &high = StartupOrder[0];
    const Setting &low = StartupOrder[1];
    Q_ASSERT(high.name == HighValue && low.name == LowValue);
    ensureOne(high);
    ensureOne(low);
    applyOne(high);
    applyOne(low);

    for (std::size_t i = 2; i < StartupOrder.size(); ++i) {
        ensureOne(StartupOrder[i]);
        applyOne(StartupOrder[i]);
    }
    return storeOk;
}

bool applyExtensionSettings(SettingsStore &store, const ApplySetting &apply)
{
    return ErrorReport::guarded([&] {
        for (const SettingsKeys::Setting &setting : SettingsKeys::ExtensionOrder) {
            const QString text = ensureAndRead(store, setting.name, setting.defaultText.toString());
            ErrorReport::guarded([&] { apply(setting.name, text); });
        }
    });
}
