#include "StartupSettings.h"

#include "ErrorReport.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

#include <QHash>

bool applyStartupSettings(SettingsStore &store, const ApplySetting &apply)
{
    const auto applyOne = [&](QStringView name, const QString &text) {
        ErrorReport::guarded([&] { apply(name, text); });
    };

    return ErrorReport::guarded([&] {
        using namespace SettingsKeys;

        // The texts stored when start-up begins. Applying a value runs its control's handler,
        // and a handler may store more than its own value (the poll-interval handler also
        // stores "double update speed" from a check box that is not applied yet); reading
        // such a value afterwards would apply the handler's text instead of the stored one.
        QHash<QString, QString> stored;
        for (const Setting &setting : StartupOrder) {
            if (store.exists(setting.name))
                stored.insert(setting.name.toString(), store.read(setting.name));
        }
        const auto ensureAndTake = [&](const Setting &setting) {
            ensure(store, setting.name, setting.defaultText.toString());
            const auto it = stored.constFind(setting.name.toString());
            return it != stored.cend() ? *it : store.read(setting.name);
        };

        const Setting &high = StartupOrder[0];
        const Setting &low = StartupOrder[1];
        Q_ASSERT(high.name == HighValue && low.name == LowValue);
        ensure(store, high.name, high.defaultText.toString());
        ensure(store, low.name, low.defaultText.toString());
        applyOne(high.name, ensureAndTake(high));
        applyOne(low.name, ensureAndTake(low));

        for (std::size_t i = 2; i < StartupOrder.size(); ++i)
            applyOne(StartupOrder[i].name, ensureAndTake(StartupOrder[i]));
    });
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
