// The agent's window on Linux: its pages served to the user's own browser by
// an HTTP server on 127.0.0.1, with a bridge script in every page carrying
// element operations to the page (server-sent events, in order) and clicks,
// page loads and key presses back (with a snapshot of every input, so that
// reads in a click handler are answered at once from the snapshot).
//
// Any web page the user visits can reach loopback, so the host trusts only
// its own pages: the address it opens carries a random token that is
// exchanged for an HttpOnly, SameSite=Strict cookie; every request needs that
// cookie and a Host header naming the loopback address and port, requests
// that change state need the page's own Origin, and a Content-Security-Policy
// lets pages load only the host's own scripts, styles and images.
//
// Element operations are called on the UI thread; events reach the handlers
// through the dispatcher, which runs them on the UI thread as well. The host
// is destroyed on the UI thread; events still queued then are dropped.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/HtmlView.h"

class CBrowserHost : public CHtmlView {
public:
  // Runs a piece of work on the UI thread, in order (CMessageWindow::PostTask).
  using Dispatcher = std::function<void(std::function<void()>)>;

  CBrowserHost(PageResourceLookup resources, Dispatcher dispatcher);
  ~CBrowserHost() override;
  CBrowserHost(const CBrowserHost&) = delete;
  CBrowserHost& operator=(const CBrowserHost&) = delete;

  // Binds 127.0.0.1 on a free port and starts serving; false when it cannot.
  bool Start();
  // Tells open pages that the agent has ended, then stops serving.
  void Stop();
  // The address to open: the start of the session, carrying the token.
  std::string GetStartUrl() const;
  // The server's own address ("http://127.0.0.1:PORT").
  std::string GetOrigin() const;
  int GetPort() const;
  // Opens the start address in the user's browser, as an app window where possible.
  bool OpenBrowser() const;
  // How long no page may be open before `closed` fires (about ten seconds,
  // so that a reload does not count).
  void SetCloseGrace(std::chrono::milliseconds grace);
  // Pages connected now (event streams open).
  int GetOpenPageCount() const;

  bool LoadPage(unsigned page) override;
  unsigned GetPage() const override;
  bool SetInnerHtml(const std::string& id, const std::string& html) override;
  bool SetOuterHtml(const std::string& id, const std::string& html) override;
  bool GetValue(const std::string& id, std::string& value) override;
  bool SetValue(const std::string& id, const std::string& value) override;
  bool GetChecked(const std::string& id, bool& checked) override;
  bool SetChecked(const std::string& id, bool checked) override;
  void ShowMessageBox(const std::string& caption, const std::string& text,
                      std::function<void()> done) override;
  void ShowAbout(const std::string& caption, const std::string& text) override;
  void ShowChecks(const std::string& caption, const std::string& text,
                  const std::vector<SOverlayCheck>& checks, ChecksDone done) override;
  void ShowFileChooser(const std::string& initialName, const std::vector<SFileFilter>& filters,
                       FileDone done) override;

  // Markup as the browser gets it: the resource addresses of the pages
  // ("res:/IMG/#160") turned into the host's own ("/res/IMG/160").
  static std::string RewriteResourceAddresses(const std::string& markup);

  struct Impl;  // shared by the element operations and the server

private:
  std::unique_ptr<Impl> m_impl;
};
