#include "SnmpLibrary.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

// Off unless enabled with QT_LOGGING_RULES="ostraline.snmp.debug=true".
Q_LOGGING_CATEGORY(lcSnmp, "ostraline.snmp", QtWarningMsg)

namespace
{

int forwardLibraryLog(int, int, void *serverArg, void *)
{
    const auto *message = static_cast<const snmp_log_message *>(serverArg);
    if (message && message->msg)
        qCDebug(lcSnmp, "net-snmp: %s", message->msg);
    return 0;
}

} // namespace

// Initialises the SNMP library once, quietly and without touching the disk: no configuration
// files, no persistent state, no MIB modules (with MIBS unset the library would try to load
// its default modules and complain about each one it cannot find). Its log messages go to
// the debug log instead of stderr.
void initLibrary()
{
    static bool done = false;
    if (done)
        return;
    done = true;

    qputenv("MIBS", QByteArray());
    qputenv("MIBDIRS", QByteArray());
    snmp_register_callback(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_LOGGING, forwardLibraryLog,
                           nullptr);
    netsnmp_register_loghandler(NETSNMP_LOGHANDLER_CALLBACK, LOG_DEBUG);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    netsnmp_set_mib_directory("");
    init_snmp("ostraline");
}
