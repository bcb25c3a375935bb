#pragma once

class TAboutBox1;
class TForm2;
class TForm3;

// The windows the program entry creates after the main window and attaches to it: About
// (which also holds the product homepage's link), Options with its single-device panel, and
// the splash. The main window's menu items open them through this; until they are attached,
// each does nothing.
class AttachedWindows
{
public:
    void attach(TForm2 *about, TForm3 *options, TAboutBox1 *splash);
    TForm3 *options() const { return m_options; }

    // Tools > Options, shown in its current state: a single-device panel left open stays open.
    void showOptions();
    // Graph slot k's single-device panel in the Options dialog.
    void editDevice(int slot);
    // ? > Product Homepage: the About window's link in the desktop's browser.
    void openHomepage();
    void showAbout();
    // The splash at the main window's first showing (unless suppressed).
    void showSplash();

private:
    TForm2 *m_about = nullptr;
    TForm3 *m_options = nullptr;
    TAboutBox1 *m_splash = nullptr;
};
