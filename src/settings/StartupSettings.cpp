#include "StartupSettings.h"

#include "ErrorReport.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

bool applyStartupSettings(SettingsStore &store, const ApplySetting &apply)
{
    const auto applyOne = [&](QStringView name, const QString &text) {
        ErrorReport::guarded([&] { apply(name, text); });
    };

    return ErrorReport::guarded([&] {
        using namespace SettingsKeys;
        const auto &high = StartupOrder[0];
        const auto &low = StartupOrder[1];
        Q_ASSERT(high.name == HighValue && low.name == LowValue);
        ensure(store, high.name, high.defaultText.toString());
        ensure(store, low.name, low.defaultText.toString());
        applyOne(high.name, store.read(high.name));
        applyOne(low.name, store.read(low.name));

        for (std::size_t i = 2; i < StartupOrder.size(); ++i) {
            const Setting &setting = StartupOrder[i];
            applyOne(setting.name,
                     ensureAndRead(store, setting.name, setting.defaultText.toString()));
        }
    });
}
