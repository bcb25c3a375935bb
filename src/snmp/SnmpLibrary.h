#pragma once

#include <QLoggingCategory>

// The SNMP library's debug messages (off unless enabled with
// QT_LOGGING_RULES="ostraline.snmp.debug=true").
Q_DECLARE_LOGGING_CATEGORY(lcSnmp)

// Initialises the SNMP library once, quietly and without touching the disk. Every SNMP user
// calls it before its first library call; only the first call does anything.
void initLibrary();
