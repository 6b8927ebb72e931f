// The agent's application object: one agent per desktop, the receiver
// drivers registered, old settings migrated, then the main dialog run until
// it ends; the process ends with it.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/TrayIcon.h"
#include "platform/InstanceChannel.h"
#include "platform/MessageWindow.h"

class CAgentWindow;
class CQVAgentDlg;

// How a start ended.
enum class EAppStart {
  Ran,         // this agent ran its dialog to the end
  HandedOver,  // another agent of this version runs and took the command line
  Failed,      // the window could not be created
};

class CQVAgentApp {
public:
  // `instanceSocket` empty: the desktop's usual instance channel.
  explicit CQVAgentApp(std::string instanceSocket = {});
  // Closes the trace.
  ~CQVAgentApp();
  CQVAgentApp(const CQVAgentApp&) = delete;
  CQVAgentApp& operator=(const CQVAgentApp&) = delete;

  // The whole life of the agent: start-up, the dialog, the end. `args` are
  // the program's arguments (a file to import, "-bg"); `window` shows the
  // pages. Runs the UI loop on the calling thread.
  EAppStart Run(const std::vector<std::string>& args, CAgentWindow& window);

  // Any thread: ends the dialog as the tray menu's Exit does (termination request).
  void RequestExit();

  // The icon's state follows TaskbarIcon; the dialog calls this too.
  bool ShowTrayIcon(bool on);
  bool IsTrayIconShown() const { return m_trayIcon.IsShown(); }
  // The tray menu's commands, on the UI thread while the dialog runs.
  void OnTrayCommand(unsigned command);

  // The arguments as the command line a second agent hands over.
  static std::string JoinCommandLine(const std::vector<std::string>& args);

  // Any thread, while Run runs its loop: the UI thread's window; else null.
  CMessageWindow* GetMessageWindow() { return m_runningWindow.load(); }
  CQVAgentDlg* GetDialog() { return m_dialog.get(); }

private:
  // True when this agent is the only one from here on.
  bool _CheckSingleInstance(const std::string& commandLine);

  std::string m_instanceSocket;
  CTrayIcon m_trayIcon;
  std::unique_ptr<CInstanceChannel> m_channel;
  std::unique_ptr<CMessageWindow> m_window;
  // The same window for other threads, set only while the dialog runs.
  std::atomic<CMessageWindow*> m_runningWindow{nullptr};
  std::unique_ptr<CQVAgentDlg> m_dialog;
};
