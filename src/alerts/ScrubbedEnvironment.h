#pragma once

#include <QProcessEnvironment>
#include <QString>

// What of the program's own environment a command it runs may see: everything but the
// variables that look like secrets. The passphrases a user exports for the command line
// (OSTRALINE_AUTH_PASSPHRASE, OSTRALINE_PRIV_PASSPHRASE) and whatever a desktop session
// keeps in variables such as GITHUB_TOKEN or DB_PASSWORD have no business in an alert hook.
namespace ScrubbedEnvironment
{

// A name that holds PASSPHRASE, SECRET, TOKEN or PASSWORD (in any case), or one of the
// program's own secrets.
bool isSecret(const QString &name);

// The environment without its secret variables.
QProcessEnvironment scrubbed(const QProcessEnvironment &environment);

} // namespace ScrubbedEnvironment
