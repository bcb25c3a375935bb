#include "AlertSettings.h"

#include "SettingValues.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

namespace AlertSettings
{
namespace
{

bool readFlag(SettingsStore &store, QStringView name, bool fallback)
{
    const auto on =
        SettingValues::flag(ensureAndRead(store, name, SettingValues::flagText(fallback)));
    return on.value_or(fallback);
}

} // namespace

Values read(SettingsStore &store)
{
    Values values;
    values.on = readFlag(store, Alerts, false);
    bool ok = false;
    const int polls =
        ensureAndRead(store, AlertPolls, QString::number(DefaultPolls)).toInt(&ok, 10);
    values.polls = ok && polls >= MinPolls && polls <= MaxPolls ? polls : DefaultPolls;
    values.busy = readFlag(store, AlertBusy, true);
    values.down = readFlag(store, AlertDown, true);
    values.silent = readFlag(store, AlertSilent, true);
    values.command = ensureAndRead(store, AlertCommand, QString());
    return values;
}

void write(SettingsStore &store, const Values &values)
{
    store.write(Alerts, SettingValues::flagText(values.on));
    store.write(AlertPolls, QString::number(values.polls));
    store.write(AlertBusy, SettingValues::flagText(values.busy));
    store.write(AlertDown, SettingValues::flagText(values.down));
    store.write(AlertSilent, SettingValues::flagText(values.silent));
    store.write(AlertCommand, values.command);
}

AlertRules rules(SettingsStore &store, const Values &values)
{
    AlertRules rules;
    rules.busy = values.busy;
    rules.down = values.down;
    rules.silent = values.silent;
    rules.polls = values.polls;
    bool ok = false;
    const int high = store.read(SettingsKeys::HighValue).toInt(&ok, 10);
    if (ok)
        rules.highThreshold = high;
    if (const auto mode = SettingValues::onErrors(store.read(SettingsKeys::OnErrors)))
        rules.stopOnErrors = *mode == OnErrorMode::Stop;
    return rules;
}

} // namespace AlertSettings
