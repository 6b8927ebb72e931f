// Preloaded into the agent so that the real libusb is there but does not
// start, as on a machine without a USB subsystem.
struct libusb_context;

int libusb_init(struct libusb_context** context) {
  (void)context;
  return -99;  // LIBUSB_ERROR_OTHER
}
