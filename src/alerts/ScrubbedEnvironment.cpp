#include "ScrubbedEnvironment.h"

#include <QStringList>

namespace ScrubbedEnvironment
{

bool isSecret(const QString &name)
{
    // The program's own secrets, by name: the v3 passphrases of the command line.
    static const QStringList own = {QStringLiteral("OSTRALINE_AUTH_PASSPHRASE"),
                                    QStringLiteral("OSTRALINE_PRIV_PASSPHRASE")};
    static const QStringList words = {QStringLiteral("PASSPHRASE"), QStringLiteral("SECRET"),
                                      QStringLiteral("TOKEN"), QStringLiteral("PASSWORD")};
    if (own.contains(name))
        return true;
    for (const QString &word : words) {
        if (name.contains(word, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QProcessEnvironment scrubbed(const QProcessEnvironment &environment)
{
    QProcessEnvironment clean = environment;
    const QStringList names = environment.keys();
    for (const QString &name : names) {
        if (isSecret(name))
            clean.remove(name);
    }
    return clean;
}

} // namespace ScrubbedEnvironment
