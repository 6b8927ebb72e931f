#include "app/QVAgentApp.h"

#include <cctype>

#include "app/AgentWindow.h"
#include "app/QVAgentDlg.h"
#include "platform/HtmlView.h"
#include "platform/Shell.h"
#include "threads/SyncWorkflow.h"
#include "util/TraceLog.h"
#include "util/Util.h"

namespace {

bool IsBackgroundSwitch(const std::string& commandLine) {
  std::string lower;
  for (const char c : commandLine) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.find("-bg") != std::string::npos;
}

}  // namespace

CQVAgentApp::CQVAgentApp(std::string instanceSocket) : m_instanceSocket(std::move(instanceSocket)) {}

CQVAgentApp::~CQVAgentApp() {
  m_dialog.reset();
  m_channel.reset();
  m_window.reset();
  LogClose();
}

std::string CQVAgentApp::JoinCommandLine(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& arg : args) line += (line.empty() ? "" : " ") + arg;
  return line;
}

bool CQVAgentApp::_CheckSingleInstance(const std::string& commandLine) {
  m_channel = std::make_unique<CInstanceChannel>(m_instanceSocket);
  if (!m_channel->Connect()) return true;
  uint32_t version = 0;
  if (m_channel->QueryVersion(version) && version == CUtil::GetVersionNumber()) {
    // A start at login finds the agent already in the background: nothing
    // to hand over, and nothing that should pop up.
    const bool background = CUtil::GetTaskbarIcon() && IsBackgroundSwitch(commandLine);
    if (!background) {
      if (!commandLine.empty()) {
        m_channel->SendCommandLine(commandLine);
      } else {
        m_channel->SendShowStartPage();
      }
    }
    m_channel->Disconnect();
    return false;
  }
  LogWrite(LOG_INFO, "CQVAgentApp::InitInstance() ending the agent of version %u", version);
  m_channel->EndPeer();
  m_channel->Disconnect();
  return true;
}

EAppStart CQVAgentApp::Run(const std::vector<std::string>& args, CAgentWindow& window) {
  CUtil::Initialize();
  const std::string commandLine = JoinCommandLine(args);
  if (!_CheckSingleInstance(commandLine)) return EAppStart::HandedOver;

  CSyncWorkflow::RegisterDeviceObjects();
  CUtil::MigrateOldSettings();

  m_window = std::make_unique<CMessageWindow>();
  if (!window.Create(*m_window)) return EAppStart::Failed;

  CQVAgentDlg::Shell shell;
  shell.isTrayIconShown = [this] { return m_trayIcon.IsShown(); };
  shell.showTrayIcon = [this](bool on) { ShowTrayIcon(on); };
  shell.showWindow = [&window](bool show) {
    if (show) {
      window.Show();
    } else {
      window.Hide();
    }
  };
  shell.endDialog = [this] { m_window->Quit(0); };
  m_dialog = std::make_unique<CQVAgentDlg>(window.GetView(), *m_window, CQVAgentDlg::Jobs{}, shell);
  m_window->SetHandler([this](unsigned message, WPARAM wParam, LPARAM lParam) {
    return m_dialog ? m_dialog->OnMessage(message, wParam, lParam) : 0;
  });
  // From here on a second agent hands its command line to this one.
  m_channel->Listen(CUtil::GetVersionNumber(), *m_window, [this](const InstanceRequest& request) {
    if (request.kind == InstanceRequest::CommandLine) {
      m_dialog->OnCommandLine(request.commandLine);
    } else {
      m_dialog->ShowStartPage();
    }
  });

  m_runningWindow.store(m_window.get());
  m_dialog->Start(commandLine);
  m_window->Run();
  m_runningWindow.store(nullptr);

  m_channel->StopListening();
  m_dialog.reset();
  window.Destroy();
  m_window->Close();
  return EAppStart::Ran;
}

void CQVAgentApp::RequestExit() {
  CMessageWindow* window = m_runningWindow.load();
  if (window == nullptr) return;
  window->PostTask([this] {
    if (m_dialog) m_dialog->EndDialog();
  });
}

bool CQVAgentApp::ShowTrayIcon(bool on) {
  if (on == m_trayIcon.IsShown()) return on;
  return m_trayIcon.Show(on);
}

void CQVAgentApp::OnTrayCommand(unsigned command) {
  if (!m_dialog) return;
  switch (command) {
    case ID_TRAY_OPEN_AGENT:
      m_dialog->ShowStartPage();
      break;
    case ID_TRAY_MY_ACTIVITIES:
      CShell::Open(CUtil::GetUrlActivities());
      break;
    case ID_TRAY_ABOUT:
      m_dialog->ShowAboutBox();
      break;
    case ID_TRAY_EXIT:
      m_dialog->EndDialog();
      break;
    default:
      break;
  }
}
