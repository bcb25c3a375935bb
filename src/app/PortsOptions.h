#pragma once

#include <QCommandLineOption>
#include <QList>

class QCommandLineParser;
class QString;
class SecurityOptions;

// The command line of the port view: --ports ADDRESS [credentials] [--interval S]
// [--count N] [--format table|csv] [--sort in|out|util|errors|name]. It polls every port of
// the device and prints their state, rates, utilisation and errors after each poll (the first
// after two readings), without a window, a display or the single-instance lock.
class PortsOptions
{
public:
    PortsOptions();
    QList<QCommandLineOption> options() const;
    // Whether any option but --ports itself is given.
    bool anySet(const QCommandLineParser &parser) const;

    // The credentials are the ones --discover takes. Returns the exit status: 0 done, 1 the
    // agent never answered, 2 bad usage (through usageError).
    int run(const QCommandLineParser &parser, int (*usageError)(const QString &),
            const QCommandLineOption &community, const QCommandLineOption &snmpVersion,
            const SecurityOptions &security) const;

    const QCommandLineOption ports;

private:
    QCommandLineOption m_interval;
    QCommandLineOption m_count;
    QCommandLineOption m_format;
    QCommandLineOption m_sort;
};
