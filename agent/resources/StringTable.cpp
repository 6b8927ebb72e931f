// The agent's string table. Entries are kept in ascending id order so that a
// lookup is a binary search over constant data: no allocation, safe from any
// thread. A compile-time check rejects a table that is out of order or holds an
// id twice.
//
// Path formats use "/" as the separator; everything else in them stays as the
// rest of the system expects.

#include "resources/StringTable.h"

#include <algorithm>
#include <iterator>

#include "resources/StringIds.h"

namespace {

struct SStringEntry {
  unsigned id;
  const char* text;
};

constexpr SStringEntry kStrings[] = {
    // System menu.
    {IDS_ABOUTBOX, "&About Tavelnor Agent..."},

    // Names.
    {IDS_REGISTRY_KEY, "Tavelnor"},
    {IDS_ANNOUNCEMENTS_FILE, "announcements.xml"},
    {IDS_AGENT_NAME, "Tavelnor Agent"},
    {IDS_EXT_GZ, "gz"},
    {IDS_EXT_QVX, "qvx"},
    {IDS_HISTORY_FILE, "history.xml"},

    // Setting sections.
    {IDS_SECTION_USERINTERFACE, "UserInterface"},
    {IDS_SECTION_DEVICE, "Device"},
    {IDS_SECTION_SERVER, "Server"},
    {IDS_SECTION_DATA, "Data"},

    // Setting value names.
    {IDS_VALUE_TASKBARICON, "TaskbarIcon"},
    {IDS_VALUE_POWERDOWN, "Powerdown"},
    {IDS_VALUE_MULTIPLEDEVICES, "MultipleDevices"},
    {IDS_VALUE_TIMEOUT, "Timeout"},
    {IDS_VALUE_MAXRETRIES, "MaxRetries"},
    {IDS_VALUE_MAXERRORS, "MaxErrors"},
    {IDS_VALUE_NAME, "Name"},
    {IDS_VALUE_ACCOUNTNAME, "AccountName"},
    {IDS_VALUE_EMAIL, "Email"},
    {IDS_VALUE_EDITACTIVITIES, "EditActivities"},
    {IDS_VALUE_ALLOWTIMECONFLICTS, "AllowTimeConflicts"},
    {IDS_VALUE_SHOWINTROPAGE, "ShowIntroPage"},
    {IDS_VALUE_INSTALLPATH, "InstallPath"},
    {IDS_VALUE_FILEASSOCIATIONS, "FileAssociations"},

    // Value names of the flat layout, and the Linux build's own.
    {IDS_OLD_ACCOUNTNAME, "AccountName"},
    {IDS_OLD_SERVER, "Server"},
    {IDS_OLD_TASKBARICON, "TaskbarIcon"},
    {IDS_OLD_SHUTDOWNDEVICE, "ShutdownDevice"},
    {IDS_OLD_MAXSENDRETRIES, "MaxSendRetries"},
    {IDS_OLD_MAXRECVERRORS, "MaxRecvErrors"},
    {IDS_OLD_SERIALTIMEOUT, "SerialTimeout"},
    {IDS_OLD_INETTIMEOUT, "InetTimeout"},
    {IDS_OLD_MAXINETRETRIES, "MaxInetRetries"},
    {IDS_VALUE_PORTS, "Ports"},
    {IDS_VALUE_ANNOUNCEMENTSURL, "AnnouncementsUrl"},
    {IDS_VALUE_SERIALBITRATE, "SerialBitRate"},

    // Status lines of the device threads, file name formats, page fragments
    // filled with printf arguments.
    {IDS_STATUS_SEARCHING_ON, "Searching for supported device on %s"},
    {IDS_FORMAT_TIMESTAMP, "%Y-%m-%d_%H-%M-%S"},
    {IDS_STATUS_CONNECTING_ON, "Attempting to connect to device on %s"},
    {IDS_FORMAT_PATH_EXT, "%s/%s.%s"},
    {IDS_HTML_STATUS_ROW,
     "<tr><td valign=\"top\"><img src=\"res:/IMG/#%d\" width=\"16\" height=\"16\"></td><td>%s</td></tr>"},
    {IDS_STATUS_RX_PROGRESS, "Retrieving data from %s on %s: <span id=\"Progress\"><b>0%%</b></span>"},
    {IDS_STATUS_NO_DEVICE_ON, "No device found on %s"},
    {IDS_STATUS_RX_ERROR, "Error retrieving data from %s on %s"},
    {IDS_STATUS_RX_DONE, "Data transfer complete for %s on %s"},
    {IDS_STATUS_UNSUPPORTED_FOUND, "Unsupported device found on %s"},
    {IDS_STATUS_UNSUPPORTED_DEVICE, "Unsupported device: %s on %s"},
    {IDS_HTTP_STATUS, "HTTP status %u"},
    {IDS_HTML_MSG_LINK, "<li><a target=\"_blank\" href=\"%s\">%s</a><br>%s</li>"},
    {IDS_FORMAT_PATH_EXT_EXT, "%s/%s.%s.%s"},
    {IDS_HTML_MSG_NONE, "<li>No messages.</li>"},
    {IDS_HTML_TASK_ACTIVITIES,
     "<tr><td valign=\"top\"><a target=\"_blank\" href=\"%s\"><img src=\"res:/IMG/#163\" border=\"0\" "
     "alt=\"View Activities\"></a></td><td><a target=\"_blank\" href=\"%s\" class=\"bold_black\">View "
     "Activities</a><br><span class=\"small\">Access your activity digest at Tavelnor.</span></td></tr>"},
    {IDS_HTML_MSG_PLAIN, "<li><b>%s</b><br>%s</li>"},
    {IDS_ABOUT_VERSION, "Tavelnor Agent Version %s"},
    {IDS_HTML_ACTIVITY_ROW,
     "<tr><td><input type=\"checkbox\" id=\"%s\" %s></td><td>%s</td><td>%s</td><td>%s</td></tr>"},
    {IDS_STATUS_RX_ABORTED, "User aborted retrieving data from %s on %s"},
    {IDS_STATUS_TX_PROGRESS, "Transfering data to %s on %s: <span id=\"Progress\"><b>0%%</b></span>"},
    {IDS_STATUS_TX_ABORTED, "User aborted transferring data to %s on %s"},
    {IDS_STATUS_TX_ERROR, "Error transferring data to %s on %s"},
    {IDS_STATUS_TX_DONE, "Data transfer complete for %s on %s"},
    {IDS_STATUS_TX_CONNECT_ABORTED, "User aborted attempting to connect to device on %s"},
    {IDS_HTML_TRACK_ROW,
     "<tr><td><input type=\"checkbox\" id=\"%s\" %s></td><td>%s</td><td><input type=\"text\" size=\"15\" "
     "maxlength=\"50\" id=\"%s\" value=\"%s\"></td><td>%s</td><td>%s</td></tr>"},
    {IDS_STATUS_TX_INCOMPATIBLE, "The imported data is not compatible with the device: %s on %s"},

    // Whole-page messages and job status lines.
    {IDS_MSG_NO_DEVICE,
     "No supported device could be found.  Please make sure it's turned on and plugged in."},
    {IDS_MSG_UPLOAD_DONE,
     "You successfully retrieved the activity data from your GPS device. Review what was sent to your "
     "Tavelnor Inbox on the right."},
    {IDS_MSG_UPLOAD_QUEUED,
     "Unable to send data to Tavelnor. Your data has been added to the local Queue to be sent when Tavelnor "
     "is available through the Internet."},
    {IDS_STATUS_NO_DEVICE_USB, "No device found on USB ports"},
    {IDS_STATUS_SENDING, "Sending data to Tavelnor..."},
    {IDS_STATUS_SEARCHING, "Searching for supported devices."},
    {IDS_STATUS_RETRIEVING_MSGS, "Retreiving messages from Tavelnor."},
    {IDS_MSG_UPLOAD_ERROR, "Error sending data to Tavelnor."},
    {IDS_STATUS_READING_FILE, "Reading file..."},

    // Service paths.
    {IDS_URL_INBOX, "trail/inbox/view.qv"},
    {IDS_URL_TXSERVER, "/trail/service/qvx/file.qv?%s=%s&%s=%s&timeConflictsAllowed=%s"},
    {IDS_URL_ACTIVITIES, "trail"},
    {IDS_URL_PARAM_USERNAME, "username.value"},
    {IDS_URL_RXMSGS, "http://www.tavelnor.com/agent/announcement.qv?username=%s"},
    {IDS_URL_PARAM_EMAIL, "emailAddress.value"},

    // Error messages.
    {IDS_ERR_SERIAL_OPEN, "Unable to open serial communications device"},
    {IDS_ERR_SERIAL_WRITE, "Unable to write to serial communications device"},
    {IDS_ERR_SERIAL_READ, "Unable to read from serial communications device"},
    {IDS_ERR_USB_OPEN, "Unable to open USB communications device"},
    {IDS_ERR_USB_WRITE, "Unable to write to USB communications device"},
    {IDS_ERR_USB_READ, "Unable to read from USB communications device"},
    {IDS_ERR_TRACKLOG_PROTOCOL, "Track log transfer protocol unsupported"},
    {IDS_ERR_LAP_PROTOCOL, "Lap transfer protocol unsupported"},
    {IDS_ERR_RUN_PROTOCOL, "Run transfer protocol unsupported"},
    {IDS_ERR_WORKOUT_PROTOCOL, "Workout transfer protocol unsupported"},
    {IDS_ERR_LINK_PROTOCOL, "Link protocol unsupported"},
    {IDS_ERR_UNEXPECTED_PACKET, "Protocol error - unexpected packet received"},
    {IDS_ERR_INTERNAL, "Internal error"},
    {IDS_ERR_TRACKPOINT_PROTOCOL, "Track point transfer protocol unsupported"},
    {IDS_ERR_TRACKHEADER_PROTOCOL, "Track header transfer protocol unsupported"},
    {IDS_ERR_PROFILE_PROTOCOL, "User profile transfer protocol unsupported"},
    {IDS_ERR_OCCURRENCE_PROTOCOL, "Workout occurrence transfer protocol unsupported"},
    {IDS_ERR_LIMITS_PROTOCOL, "Workout limits transfer protocol unsupported"},
    {IDS_ERR_OUT_OF_MEMORY, "Unable to allocate memory"},
    {IDS_ERR_BAD_PACKET, "Bad data packet received"},
    {IDS_ERR_DEVICE_NOT_SUPPORTED, "The connected device is not supported."},
    {IDS_ERR_USB_INIT, "Unable to initialize USB communications device"},
    {IDS_ERR_CREATE_FILE, "Unable to create file"},
    {IDS_ERR_WRITE_FILE, "Unable to write to file"},
    {IDS_ERR_TX_PACKET_RETRIES, "Reached transmit packet retry limit"},
    {IDS_ERR_RX_PACKET_RETRIES, "Reached receive packet retry limit"},
    {IDS_ERR_USB_CONNECT, "Unable to connect to USB device"},
    {IDS_ERR_HTTP_400, "The server had an error analyzing your activity data."},
    {IDS_ERR_HTTP_401, "The Tavelnor username you entered does not match the email address given."},
    {IDS_ERR_HTTP_407, "The proxy server requires you to authenticate."},
    {IDS_ERR_TX_RETRIES, "Reached transmit retry limit"},
    {IDS_ERR_CONNECT_SERVER, "Unable to connect to server"},
    {IDS_ERR_REQUEST_STATUS, "Unable to get request status"},
    {IDS_ERR_RETRIEVE_MSGS, "Error retrieving messages from Tavelnor"},
    {IDS_ERR_DATA_CORRUPT,
     "The activity data is corrupt. Please send an email to support@tavelnor.com so that we can help you."},
    {IDS_ERR_PACKETS_LOST, "Some  packets were lost while receiving data from device"},
    {IDS_ERR_COURSE_PROTOCOL, "Course transfer protocol unsupported"},
    {IDS_ERR_COURSELAP_PROTOCOL, "Course lap transfer protocol unsupported"},
    {IDS_ERR_COURSEPOINT_PROTOCOL, "Course point transfer protocol unsupported"},
    {IDS_ERR_OPEN_REQUEST, "Unable to open HTTP request"},
    {IDS_ERR_MOVE_FILE, "Unable to move file"},
    {IDS_ERR_TX_INCOMPATIBLE, "The imported data is not compatible with your device."},

    // Import errors.
    {IDS_IMP_GPX_BAD_POSITION, "Track point has invalid laitude/longutude"},
    {IDS_IMP_GPX_TAG_GPX, "Unexpected tag encountered: GPX"},
    {IDS_IMP_GPX_TAG_TRK, "Unexpected tag encountered: TRK"},
    {IDS_IMP_GPX_TAG_TRKSEG, "Unexpected tag encountered: TRKSEG"},
    {IDS_IMP_GPX_TAG_TRKPT, "Unexpected tag encountered: TRKPT"},
    {IDS_IMP_GPX_BAD_ELEVATION, "Track point has invalid elevation value"},
    {IDS_IMP_GPX_BAD_TIME, "Track point has invalid time value"},
    {IDS_IMP_TCX_TAG_TRACK, "Unexpected tag encountered: Track"},
    {IDS_IMP_TCX_TAG_TRACKPOINT, "Unexpected tag encountered: TrackPoint"},
    {IDS_IMP_TCX_TAG_LAP, "Unexpected tag encountered: Lap"},
    {IDS_IMP_TCX_TAG_POSITION, "Unexpected tag encountered: Position"},
    {IDS_IMP_TCX_BAD_ALTITUDE, "Invalid altitude value"},
    {IDS_IMP_TCX_BAD_CALORIES, "Invalid calories value"},
    {IDS_IMP_TCX_BAD_DISTANCE, "Invalid distance value"},
    {IDS_IMP_TCX_BAD_HEARTRATE, "Invalid heart rate value"},
    {IDS_IMP_TCX_BAD_LATITUDE, "Invalid latitude value"},
    {IDS_IMP_TCX_BAD_LONGITUDE, "Invalid longitude value"},
    {IDS_IMP_TCX_BAD_TIME, "Invalid time value"},
    {IDS_IMP_TCX_TAG_RUN, "Unexpected tag encountered: Run"},
    {IDS_IMP_TCX_TAG_ACTIVITY, "Unexpected activity tag encountered"},
    {IDS_IMP_TCX_TAG_COURSE, "Unexpected tag encountered: COURSE"},
    {IDS_IMP_TCX_BAD_CADENCE, "Invalid cadence value"},
    {IDS_IMP_TCX_BAD_SPEED, "Invalid speed value"},
    {IDS_IMP_TCX_TAG_COURSEPOINT, "Unexpected tag encountered: CoursePoint"},
    {IDS_IMP_KML_TAG_PLACEMARK, "Unexpected tag encountered: PLACEMARK"},
    {IDS_IMP_KML_TAG_LINESTRING, "Unexpected tag encountered: LINESTRING"},
    {IDS_IMP_KML_TAG_COORDINATES, "Unexpected tag encountered: COORDINATES"},
    {IDS_IMP_KML_BAD_COORDINATES, "Bad coordinates format"},

    // Folder names.
    {IDS_FOLDER_SENT, "Sent"},
    {IDS_FOLDER_ERROR, "Error"},
    {IDS_FOLDER_QUEUE, "Queue"},
    {IDS_FOLDER_QUEUERESEND, "QueueResend"},

    // HTML fragments.
    {IDS_HTML_TASK_SETTINGS_MISSING,
     "<tr><td valign=\"top\"><a href=\"#\" id=\"LinkPrefs2\"><img src=\"res:/IMG/#161\" border=\"0\" "
     "alt=\"Configure Agent\"></a></td><td><a href=\"#\" id=\"LinkPrefs\" class=\"bold_black\">Configure "
     "Agent</a><br>"
     "<span class=\"small\">Your Tavelnor username and/or email address is not currently set. Please set "
     "your Tavelnor Agent settings before proceeding.</span></td></tr>"},
    {IDS_HTML_TASK_RXDEVICE,
     "<tr><td valign=\"top\"><a href=\"#\" id=\"LinkRxDevice2\"><img src=\"res:/IMG/#160\" border=\"0\" "
     "alt=\"Synchronize Activities\"></a></td><td><a href=\"#\" id=\"LinkRxDevice\" "
     "class=\"bold_black\">Synchronize Activities</a><br>"
     "<span class=\"small\">Get data from GPS device and send to Tavelnor.</span></td></tr>"},
    {IDS_HTML_TASK_TXSERVER,
     "<tr><td valign=\"top\"><a href=\"#\" id=\"LinkTxServer2\"><img src=\"res:/IMG/#162\" border=\"0\" "
     "alt=\"Send Queued Activites\"></a></td><td><a href=\"#\" id=\"LinkTxServer\" class=\"bold_black\">Send "
     "Queued Activites</a><br>"
     "<span class=\"small\">Send previously retrieved activities that have not been sent to "
     "Tavelnor.</span></td></tr>"},
    {IDS_HTML_TASK_PREFS,
     "<tr><td valign=\"top\"><a href=\"#\" id=\"LinkPrefs2\"><img src=\"res:/IMG/#161\" border=\"0\" "
     "alt=\"Configure Agent\"></a></td><td><a href=\"#\" id=\"LinkPrefs\" class=\"bold_black\">Configure "
     "Agent</a><br>"
     "<span class=\"small\">Review and modify your Tavelnor Agent settings.</span></td></tr>"},
    {IDS_HTML_TASK_IMPORT,
     "<tr><td valign=\"top\"><a href=\"#\" id=\"LinkImport2\"><img src=\"res:/IMG/#164\" border=\"0\" "
     "alt=\"Import Files\"></a></td><td><a href=\"#\" id=\"LinkImport\" class=\"bold_black\">Import "
     "Files</a><br>"
     "<span class=\"small\">Transfer activities from other software products. "
     "<b>[Advanced]</b></span></td></tr>"},
    {IDS_HTML_STATUS_TABLE_END, "</table>"},
    {IDS_HTML_ERRORLIST, "<ul class=\"errorlist\">"},
    {IDS_HTML_RETRY_RXDEVICE,
     "<p><input type=\"button\" class=\"blue\" id=\"LinkRxRetry\" value=\"Retry\">&nbsp;<input "
     "type=\"button\" class=\"blue\" id=\"LinkIntro\" value=\"Cancel\"></p>"},
    {IDS_HTML_RETRY_TXSERVER,
     "<p><input type=\"button\" class=\"blue\" id=\"LinkTxRetry\" value=\"Retry\">&nbsp;<input "
     "type=\"button\" class=\"blue\" id=\"LinkIntro\" value=\"Cancel\"></p>"},
    {IDS_HTML_STATUS_TABLE, "<table cellspacing=\"0\" cellpadding=\"4\" id=\"%s\">"},
    {IDS_HTML_BUTTON_OK, "<p><input type=\"button\" class=\"blue\" id=\"LinkIntro\" value=\"OK\"></p>"},
    {IDS_HTML_BUTTON_CANCEL,
     "<p><input type=\"button\" class=\"blue\" id=\"LinkIntro\" value=\"Cancel\"></p>"},
    {IDS_HTML_MSG_LIST, "<ul class=\"list_agent\">"},
    {IDS_HTML_MSG_LIST_END, "</ul>"},
    {IDS_HTML_TASK_TABLE,
     "<table border=\"0\" cellspacing=\"0\" cellpadding=\"0\" style=\"padding:10px 6px 10px 6px\" "
     "id=\"TaskTable\">"},
    {IDS_HTML_TASK_TABLE_END, "</table>"},
    {IDS_HTML_ACTIVITY_TABLE,
     "<table ID=\"ActivityTable\" cellspacing=\"0\" cellpadding=\"0\"><col width=\"30\"/><col width=\"75\"/>"
     "<col width=\"175\"/>"},
    {IDS_HTML_ACTIVITY_TABLE_END, "</table>"},
    {IDS_HTML_CANCEL_RXDEVICE,
     "<p><input type=\"button\" class=\"blue\" id=\"LinkCancelRxDevice\" value=\"Cancel\"></p>"},
    {IDS_HTML_CANCEL_TXDEVICE,
     "<p><input type=\"button\" class=\"blue\" id=\"LinkCancelTxDevice\" value=\"Cancel\"></p>"},
    {IDS_HTML_RETRY_TXDEVICE,
     "<p><input type=\"button\" class=\"blue\" id=\"LinkTxDeviceRetry\" value=\"Retry\">&nbsp;<input "
     "type=\"button\" class=\"blue\" id=\"LinkIntro\" value=\"Cancel\"></p>"},
    {IDS_HTML_TRACK_TABLE,
     "<table ID=\"TrackTable\" cellspacing=\"0\" cellpadding=\"0\"><col width=\"30\"/><col width=\"75\"/>"
     "<col width=\"120\"/><col width=\"75\"/><col width=\"120\"/>"},
    {IDS_HTML_TRACK_TABLE_END, "</table>"},
    {IDS_HTML_MAIN_MENU,
     "<p><input type=\"button\" class=\"blue\" id=\"LinkIntro\" value=\"Main Menu\"> Go back to the main "
     "menu</p>"},
    {IDS_HTML_VIEW_INBOX,
     "<p><input type=\"button\" class=\"blue\" id=\"LinkViewInbox\" value=\"View Inbox\"> Name and "
     "categorize the activities you just sent to Tavelnor</p>"},

    // The application title.
    {IDS_APP_TITLE, "QVAgent"},
};

constexpr bool IsStrictlyAscending() {
  for (std::size_t i = 1; i < std::size(kStrings); ++i) {
    if (kStrings[i - 1].id >= kStrings[i].id) return false;
  }
  return true;
}
static_assert(IsStrictlyAscending(), "string table must be sorted by id with no id twice");

}  // namespace

const char* FindString(unsigned id) {
  const auto* end = std::end(kStrings);
  const auto* it = std::lower_bound(std::begin(kStrings), end, id,
                                    [](const SStringEntry& e, unsigned v) { return e.id < v; });
  return (it != end && it->id == id) ? it->text : nullptr;
}

std::string LoadString(unsigned id) {
  const char* text = FindString(id);
  return text ? std::string(text) : std::string();
}
