// Breaks off one accepted connection of the service from inside its request
// handler, which the HTTP server library gives no socket access to: the
// socket is found among the process's descriptors by its two port numbers.
// The descriptor itself stays open (the server closes it), so no other
// thread's descriptor can be hit by a late close.
#pragma once

class CConnectionDropper {
public:
  // Closes the connection in an orderly way (the peer reads end-of-stream).
  static bool Close(int localPort, int remotePort);
  // Resets the connection (the peer reads "connection reset").
  static bool Reset(int localPort, int remotePort);

private:
  static int _Find(int localPort, int remotePort);
};
