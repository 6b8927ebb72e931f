// The notification-area icon. This desktop gets the headless form: the icon
// is a state, not a picture. While it is "shown" the agent keeps running in
// the background when its window closes, and starting the agent again brings
// the start page back (through the instance hand-over); the menu's commands
// are reachable through CQVAgentApp::OnTrayCommand for a desktop indicator.
#pragma once

// Commands of the icon's menu.
enum TrayCommand : unsigned {
  ID_TRAY_MY_ACTIVITIES = 0x8005,
  ID_TRAY_ABOUT = 0x8007,
  ID_TRAY_OPEN_AGENT = 0x8008,
  ID_TRAY_EXIT = 0x8009,
};

class CTrayIcon {
public:
  // Shows or removes the icon; returns whether it is shown afterwards.
  bool Show(bool on) {
    m_shown = on;
    return m_shown;
  }
  bool IsShown() const { return m_shown; }

private:
  bool m_shown = false;
};
