// The agent's window on this desktop: its pages served by the browser host
// and shown in the user's browser. Without a browser (or a display) the
// address of the start page is printed instead, one line, for the user to open.
#pragma once

#include <memory>

#include "app/AgentWindow.h"

class CBrowserHost;

class CBrowserWindow : public CAgentWindow {
public:
  explicit CBrowserWindow(bool openBrowser);
  ~CBrowserWindow() override;

  CHtmlView& GetView() override;
  bool Create(CMessageWindow& ui) override;
  void Show() override;
  void Hide() override {}
  void Destroy() override;

private:
  void _PrintAddress();

  bool m_openBrowser;
  bool m_addressPrinted = false;
  std::unique_ptr<CBrowserHost> m_host;
};
