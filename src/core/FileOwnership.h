#pragma once

#include <QString>

// Files the program writes in another user's folder stay that user's. Run as the superuser
// (`sudo -E ostraline`), a file replaced by a new one under its name, or a file or folder
// made new, would belong to root, and the user's next start could neither write its settings
// nor read what root left. So, for the superuser only: a replacement gets the owner, group and
// permissions of the file it replaces; a new file or folder gets the owner and group of the
// folder it is made in. Any other user changes nothing here (a process can only give its
// files to itself), nor does a file or folder that belongs to root.
namespace FileOwnership
{

struct Owner {
    bool keep = false; // false: nothing to do
    unsigned uid = 0;
    unsigned gid = 0;
    unsigned mode = 0; // the permissions of the file replaced; 0 for a new file (kept as made)
};

// To whom a file written at path must belong: looked up before it is written (the file
// there, else its folder).
Owner forFile(const QString &path);

// Gives the open file (a replacement, before its rename) the owner and permissions. 0 or the
// errno of the failure.
int apply(int fd, const Owner &owner);
// The same for the file or folder at path, never through a link put there.
int applyTo(const QString &path, const Owner &owner);

// Whether the running superuser may take the file at path, owned by ownerId, as its own: it
// belongs to the owner of its folder, as the files this program gave away do. False for any
// other user.
bool givenToFolderOwner(unsigned ownerId, const QString &path);

// Makes folder and its missing parents like QDir::mkpath, each new one given to the owner of
// the folder it is made in. True when folder exists afterwards.
bool makePath(const QString &folder);

} // namespace FileOwnership
