#include "app/BrowserWindow.h"

#include <cstdio>

#include "app/PageResources.h"
#include "platform/BrowserHost.h"
#include "platform/MessageWindow.h"

CBrowserWindow::CBrowserWindow(bool openBrowser) : m_openBrowser(openBrowser) {}

CBrowserWindow::~CBrowserWindow() = default;

CHtmlView& CBrowserWindow::GetView() {
  return *m_host;
}

bool CBrowserWindow::Create(CMessageWindow& ui) {
  m_host = std::make_unique<CBrowserHost>(
      PageResources(), [&ui](std::function<void()> task) { ui.PostTask(std::move(task)); });
  if (!m_host->Start()) {
    std::fprintf(stderr, "qvagent: unable to serve the pages on the loopback address\n");
    return false;
  }
  if (!m_openBrowser) _PrintAddress();
  return true;
}

void CBrowserWindow::Show() {
  // A page already open shows whatever the agent loads next.
  if (m_host == nullptr || m_host->GetOpenPageCount() > 0) return;
  if (!m_openBrowser || !m_host->OpenBrowser()) _PrintAddress();
}

void CBrowserWindow::Destroy() {
  if (m_host) m_host->Stop();
}

void CBrowserWindow::_PrintAddress() {
  if (m_addressPrinted) return;
  m_addressPrinted = true;
  std::printf("%s\n", m_host->GetStartUrl().c_str());
  std::fflush(stdout);
}
