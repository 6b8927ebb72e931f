// One agent per desktop: the running agent listens on a Unix-domain socket in
// the user's runtime folder; an agent that starts later connects to it, asks
// its version and either hands over its command line (same version) or ends
// it (another version) and takes its place.
//
// Start-up uses one object for both sides, in this order:
//   if (channel.Connect()) {
//     if (channel.QueryVersion(v) && v == mine) { channel.SendCommandLine(...) or
//                                                 channel.SendShowStartPage(); end here }
//     channel.EndPeer();
//   }
//   channel.Listen(mine, window, handler);   // later requests reach the UI thread
// Only processes of the same user are served or believed: the socket is 0600
// and both sides check the other's user id.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "platform/MessageWindow.h"

// What a second agent asked the running one to do.
struct InstanceRequest {
  enum Kind { CommandLine, ShowStartPage };
  Kind kind = ShowStartPage;
  std::string commandLine;  // for CommandLine, exactly as the second agent sent it
};

class CInstanceChannel {
public:
  // Runs on the UI thread, posted to the window the channel listens for.
  using Handler = std::function<void(const InstanceRequest& request)>;

  // `socketPath` empty: GetDefaultPath().
  explicit CInstanceChannel(std::string socketPath = {});
  // Stops listening; the window given to Listen must outlive the channel.
  ~CInstanceChannel();
  CInstanceChannel(const CInstanceChannel&) = delete;
  CInstanceChannel& operator=(const CInstanceChannel&) = delete;

  // $XDG_RUNTIME_DIR/tavelnor-agent.socket; without a runtime folder, a
  // folder of this user's own under /tmp.
  static std::string GetDefaultPath();
  const std::string& GetPath() const { return m_path; }

  // Connects to a running agent of this user. False when none runs: no
  // socket, or one that nobody answers on (left by an agent that crashed).
  bool Connect();
  bool IsConnected() const { return m_fd >= 0; }
  // The connected agent's process id, from the socket's peer credentials.
  pid_t GetPeerProcessId() const { return m_peerPid; }
  bool QueryVersion(uint32_t& version);
  // Each returns once the running agent has queued the request for its UI thread.
  bool SendCommandLine(const std::string& commandLine);
  bool SendShowStartPage();
  // Ends the connected agent without asking it and waits until it is gone.
  bool EndPeer();
  void Disconnect();

  // Takes the socket (a stale one is replaced), then serves requests on a
  // thread of its own: version queries are answered there, everything else
  // is posted to `window`'s UI thread and handed to `handler`. False when
  // another agent is listening already or the socket cannot be made.
  bool Listen(uint32_t version, CMessageWindow& window, Handler handler);
  bool IsListening() const { return m_listenFd >= 0; }
  // Stops serving and removes the socket, unless another agent took it over.
  void StopListening();

  // Win32 number of the last failure (ERROR_SUCCESS after a success).
  uint32_t GetLastError() const { return m_lastError; }

private:
  bool _Fail(uint32_t error);
  bool _Request(uint8_t kind, const std::string& payload, std::string& reply);
  bool _CheckFolder();
  bool _Bind();
  void _Serve();
  void _ServeConnection(int fd);

  std::string m_path;
  uint32_t m_lastError = 0;

  // Connected side.
  int m_fd = -1;
  int m_peerPidFd = -1;
  pid_t m_peerPid = 0;

  // Listening side.
  int m_listenFd = -1;
  int m_stopFd = -1;  // an eventfd that wakes the serving thread to stop
  dev_t m_socketDevice = 0;
  ino_t m_socketInode = 0;
  uint32_t m_version = 0;
  CMessageWindow* m_window = nullptr;
  Handler m_handler;
  std::thread m_server;
};
