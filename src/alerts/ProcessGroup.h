#pragma once

#include <QtGlobal>

class QProcess;

// A command and every process it starts, kept together as one process group so that they can
// be counted and ended as one: a child that outlives the command (a "&" in a script, a
// daemon) stays in the group unless it leaves on purpose.
namespace ProcessGroup
{

// Makes the process, once started, the leader of a new group of its own (setpgid in the
// child before the program runs). The group's id is then the process id.
void startInOwnGroup(QProcess &process);

// Whether any process of the group is left; a zombie (ended, not yet reaped) is not counted.
bool alive(qint64 groupId);

// Sends SIGKILL to every process of the group.
void kill(qint64 groupId);

} // namespace ProcessGroup
