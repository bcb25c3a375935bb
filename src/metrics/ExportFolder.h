#pragma once

#include <QByteArray>
#include <QString>

// The folder the Prometheus export writes into: created with mode 0700 when missing (its
// parent must exist), else it must be a real folder of this user, not a link. Each file is
// written under a temporary name beside its final one, made private (0600), synced and
// renamed into place: a reader never sees half a file, and a link or file at the name is
// replaced, never written through. Names are relative to the open folder, so the folder
// cannot be swapped for a link between two files.
class ExportFolder
{
public:
    ExportFolder() = default;
    ~ExportFolder();
    ExportFolder(const ExportFolder &) = delete;
    ExportFolder &operator=(const ExportFolder &) = delete;

    // False with the system's reason in *error.
    bool open(const QString &path, QString *error);
    bool write(const QString &name, const QByteArray &bytes, QString *error);
    // Reads a file of the folder back (never through a link), at most maxBytes of it; false
    // with the system's reason in *error.
    bool read(const QString &name, qint64 maxBytes, QByteArray *bytes, QString *error) const;

private:
    int m_fd = -1;
    QString m_path;
};
