#pragma once

// The application's name as the desktop sees it. No display name is set: the window
// systems append a set display name to every window title, and the titles must read
// exactly as the windows give them.
namespace ApplicationIdentity
{

void apply();

} // namespace ApplicationIdentity
