#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The program's command line. A device file path as the only argument (or after "--")
// opens the window with it, as always; anything with options runs here, without a window,
// a display or the single-instance lock: --discover, --ports, --help, --version.
namespace CommandLine
{

// The command line split into Qt's own options and the program's arguments.
struct Arguments {
    QStringList qt;  // for QApplication, in their order, values included
    QStringList own; // everything else, in its order
};

// Takes Qt's standard options out of the arguments (without the program name): -style NAME,
// -stylesheet FILE, -platform NAME, -reverse, -qwindowgeometry GEOMETRY, -display NAME and
// Qt's other window options, each also as "--name" or "-name=value", anywhere before a "--".
// An option that needs a value and has none is left to the program (it is then bad usage).
Arguments splitQtOptions(const QStringList &arguments);

// The device file for the window (empty for none), or nothing when the arguments (without
// the program name) are options for run().
std::optional<QString> windowArgument(const QStringList &arguments);

// Runs the command line to its end and returns the exit status: 0 done, 1 the agent did
// not answer or nothing was written, 2 bad usage.
int run(int &argc, char **argv);

} // namespace CommandLine
