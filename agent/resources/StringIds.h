// Numbers of the string table entries, by the name the code uses for them.
#pragma once

enum StringId : unsigned {
  // System menu (101).
  IDS_ABOUTBOX = 101,  // "&About Tavelnor Agent..."

  // Names (500-508).
  IDS_REGISTRY_KEY = 501,        // "Tavelnor"
  IDS_ANNOUNCEMENTS_FILE = 502,  // "announcements.xml"
  IDS_AGENT_NAME = 503,          // "Tavelnor Agent"
  IDS_EXT_GZ = 504,              // "gz"
  IDS_EXT_QVX = 505,             // "qvx"
  IDS_HISTORY_FILE = 508,        // "history.xml"

  // Setting sections (950-953).
  IDS_SECTION_USERINTERFACE = 950,
  IDS_SECTION_DEVICE = 951,
  IDS_SECTION_SERVER = 952,
  IDS_SECTION_DATA = 953,

  // Setting value names (1000-1013).
  IDS_VALUE_TASKBARICON = 1000,
  IDS_VALUE_POWERDOWN = 1001,
  IDS_VALUE_MULTIPLEDEVICES = 1002,
  IDS_VALUE_TIMEOUT = 1003,
  IDS_VALUE_MAXRETRIES = 1004,
  IDS_VALUE_MAXERRORS = 1005,
  IDS_VALUE_NAME = 1006,
  IDS_VALUE_ACCOUNTNAME = 1007,
  IDS_VALUE_EMAIL = 1008,
  IDS_VALUE_EDITACTIVITIES = 1009,
  IDS_VALUE_ALLOWTIMECONFLICTS = 1010,
  IDS_VALUE_SHOWINTROPAGE = 1011,
  IDS_VALUE_INSTALLPATH = 1012,
  IDS_VALUE_FILEASSOCIATIONS = 1013,

  // Value names of the flat layout of older versions, and of the Linux build (1100-1110).
  IDS_OLD_ACCOUNTNAME = 1100,
  IDS_OLD_SERVER = 1101,
  IDS_OLD_TASKBARICON = 1102,
  IDS_OLD_SHUTDOWNDEVICE = 1103,
  IDS_OLD_MAXSENDRETRIES = 1104,
  IDS_OLD_MAXRECVERRORS = 1105,
  IDS_OLD_SERIALTIMEOUT = 1106,
  IDS_OLD_INETTIMEOUT = 1107,
  IDS_OLD_MAXINETRETRIES = 1108,
  IDS_VALUE_PORTS = 1109,             // Device\Ports: extra ports to search, ';'-separated
  IDS_VALUE_ANNOUNCEMENTSURL = 1110,  // Server\AnnouncementsUrl: overrides string 3008
  IDS_VALUE_SERIALBITRATE = 1111,     // Device\SerialBitRate: highest serial rate to ask for, 0 = never

  // Page texts: status lines of the device threads, file name formats, page
  // fragments filled with printf arguments (2000-2032).
  IDS_STATUS_SEARCHING_ON = 2000,        // "Searching for supported device on %s" (port)
  IDS_FORMAT_TIMESTAMP = 2001,           // strftime pattern of queue document names
  IDS_STATUS_CONNECTING_ON = 2002,       // "Attempting to connect to device on %s" (port)
  IDS_FORMAT_PATH_EXT = 2004,            // "%s/%s.%s": folder, name, extension
  IDS_HTML_STATUS_ROW = 2007,            // status table row: image number, text
  IDS_STATUS_RX_PROGRESS = 2008,         // product, port; holds the "Progress" span
  IDS_STATUS_NO_DEVICE_ON = 2009,        // "No device found on %s"
  IDS_STATUS_RX_ERROR = 2011,            // product, port
  IDS_STATUS_RX_DONE = 2012,             // product, port
  IDS_STATUS_UNSUPPORTED_FOUND = 2013,   // "Unsupported device found on %s"
  IDS_STATUS_UNSUPPORTED_DEVICE = 2015,  // "Unsupported device: %s on %s"
  IDS_HTTP_STATUS = 2016,                // "HTTP status %u"
  IDS_HTML_MSG_LINK = 2017,              // message item with link: link, title, description
  IDS_FORMAT_PATH_EXT_EXT = 2018,        // "%s/%s.%s.%s": folder, name, extension, "gz"
  IDS_HTML_MSG_NONE = 2019,              // message item when the feed is empty
  IDS_HTML_TASK_ACTIVITIES = 2020,       // task row "View Activities": activities address twice
  IDS_HTML_MSG_PLAIN = 2021,             // message item without link: title, description
  IDS_ABOUT_VERSION = 2023,              // "Tavelnor Agent Version %s"
  IDS_HTML_ACTIVITY_ROW = 2024,          // check id, "checked" or "", sport, date, total time
  IDS_STATUS_RX_ABORTED = 2025,          // product, port
  IDS_STATUS_TX_PROGRESS = 2026,         // product, port; holds the "Progress" span
  IDS_STATUS_TX_ABORTED = 2027,          // product, port
  IDS_STATUS_TX_ERROR = 2028,            // product, port
  IDS_STATUS_TX_DONE = 2029,             // product, port
  IDS_STATUS_TX_CONNECT_ABORTED = 2030,  // port
  IDS_HTML_TRACK_ROW = 2031,             // check id, "checked" or "", date, text id, name, type, description
  IDS_STATUS_TX_INCOMPATIBLE = 2032,     // product, port

  // Page texts: whole-page messages and job status lines (2500-2519).
  IDS_MSG_NO_DEVICE = 2503,
  IDS_MSG_UPLOAD_DONE = 2506,
  IDS_MSG_UPLOAD_QUEUED = 2507,
  IDS_STATUS_NO_DEVICE_USB = 2511,
  IDS_STATUS_SENDING = 2512,
  IDS_STATUS_SEARCHING = 2513,
  IDS_STATUS_RETRIEVING_MSGS = 2515,
  IDS_MSG_UPLOAD_ERROR = 2518,
  IDS_STATUS_READING_FILE = 2519,

  // Service paths (3000-3009).
  IDS_URL_INBOX = 3001,           // "trail/inbox/view.qv"
  IDS_URL_TXSERVER = 3002,        // upload request path and query
  IDS_URL_ACTIVITIES = 3005,      // "trail"
  IDS_URL_PARAM_USERNAME = 3007,  // "username.value"
  IDS_URL_RXMSGS = 3008,          // announcements address
  IDS_URL_PARAM_EMAIL = 3009,     // "emailAddress.value"

  // Error messages (3500-3547): the device side, the document and upload files,
  // the service's answers, and sending to a receiver.
  IDS_ERR_SERIAL_OPEN = 3500,
  IDS_ERR_SERIAL_WRITE = 3501,
  IDS_ERR_SERIAL_READ = 3502,
  IDS_ERR_USB_OPEN = 3503,
  IDS_ERR_USB_WRITE = 3504,
  IDS_ERR_USB_READ = 3505,
  IDS_ERR_TRACKLOG_PROTOCOL = 3506,
  IDS_ERR_LAP_PROTOCOL = 3507,
  IDS_ERR_RUN_PROTOCOL = 3508,
  IDS_ERR_WORKOUT_PROTOCOL = 3509,
  IDS_ERR_LINK_PROTOCOL = 3510,
  IDS_ERR_UNEXPECTED_PACKET = 3511,
  IDS_ERR_INTERNAL = 3512,
  IDS_ERR_TRACKPOINT_PROTOCOL = 3513,
  IDS_ERR_TRACKHEADER_PROTOCOL = 3514,
  IDS_ERR_PROFILE_PROTOCOL = 3515,
  IDS_ERR_OCCURRENCE_PROTOCOL = 3516,
  IDS_ERR_LIMITS_PROTOCOL = 3517,
  IDS_ERR_OUT_OF_MEMORY = 3518,
  IDS_ERR_BAD_PACKET = 3519,
  IDS_ERR_DEVICE_NOT_SUPPORTED = 3521,
  IDS_ERR_USB_INIT = 3523,
  IDS_ERR_CREATE_FILE = 3524,
  IDS_ERR_WRITE_FILE = 3525,
  IDS_ERR_TX_PACKET_RETRIES = 3526,
  IDS_ERR_RX_PACKET_RETRIES = 3527,
  IDS_ERR_USB_CONNECT = 3528,
  IDS_ERR_HTTP_400 = 3529,
  IDS_ERR_HTTP_401 = 3530,
  IDS_ERR_HTTP_407 = 3531,
  IDS_ERR_TX_RETRIES = 3532,
  IDS_ERR_CONNECT_SERVER = 3533,
  IDS_ERR_REQUEST_STATUS = 3534,
  IDS_ERR_RETRIEVE_MSGS = 3535,
  IDS_ERR_DATA_CORRUPT = 3536,
  IDS_ERR_PACKETS_LOST = 3537,
  IDS_ERR_COURSE_PROTOCOL = 3541,
  IDS_ERR_COURSELAP_PROTOCOL = 3542,
  IDS_ERR_COURSEPOINT_PROTOCOL = 3544,
  IDS_ERR_OPEN_REQUEST = 3545,
  IDS_ERR_MOVE_FILE = 3546,
  IDS_ERR_TX_INCOMPATIBLE = 3547,

  // Import errors: GPX (3600-3606), training-centre XML (3607-3623), KML (3700-3704).
  IDS_IMP_GPX_BAD_POSITION = 3600,
  IDS_IMP_GPX_TAG_GPX = 3601,
  IDS_IMP_GPX_TAG_TRK = 3602,
  IDS_IMP_GPX_TAG_TRKSEG = 3603,
  IDS_IMP_GPX_TAG_TRKPT = 3604,
  IDS_IMP_GPX_BAD_ELEVATION = 3605,
  IDS_IMP_GPX_BAD_TIME = 3606,
  IDS_IMP_TCX_TAG_TRACK = 3607,
  IDS_IMP_TCX_TAG_TRACKPOINT = 3608,
  IDS_IMP_TCX_TAG_LAP = 3609,
  IDS_IMP_TCX_TAG_POSITION = 3610,
  IDS_IMP_TCX_BAD_ALTITUDE = 3611,
  IDS_IMP_TCX_BAD_CALORIES = 3612,
  IDS_IMP_TCX_BAD_DISTANCE = 3613,
  IDS_IMP_TCX_BAD_HEARTRATE = 3614,
  IDS_IMP_TCX_BAD_LATITUDE = 3615,
  IDS_IMP_TCX_BAD_LONGITUDE = 3616,
  IDS_IMP_TCX_BAD_TIME = 3617,
  IDS_IMP_TCX_TAG_RUN = 3618,
  IDS_IMP_TCX_TAG_ACTIVITY = 3619,
  IDS_IMP_TCX_TAG_COURSE = 3620,
  IDS_IMP_TCX_BAD_CADENCE = 3621,
  IDS_IMP_TCX_BAD_SPEED = 3622,
  IDS_IMP_TCX_TAG_COURSEPOINT = 3623,
  IDS_IMP_KML_TAG_PLACEMARK = 3700,
  IDS_IMP_KML_TAG_LINESTRING = 3702,
  IDS_IMP_KML_TAG_COORDINATES = 3703,
  IDS_IMP_KML_BAD_COORDINATES = 3704,

  // Folder names (4000-4003).
  IDS_FOLDER_SENT = 4000,         // "Sent"
  IDS_FOLDER_ERROR = 4001,        // "Error"
  IDS_FOLDER_QUEUE = 4002,        // "Queue"
  IDS_FOLDER_QUEUERESEND = 4003,  // "QueueResend"

  // HTML fragments (4500-4524), used as they are.
  IDS_HTML_TASK_SETTINGS_MISSING = 4500,  // task row "Configure Agent" when settings are missing
  IDS_HTML_TASK_RXDEVICE = 4501,          // task row "Synchronize Activities"
  IDS_HTML_TASK_TXSERVER = 4502,          // task row "Send Queued Activites"
  IDS_HTML_TASK_PREFS = 4503,             // task row "Configure Agent"
  IDS_HTML_TASK_IMPORT = 4504,            // task row "Import Files"
  IDS_HTML_STATUS_TABLE_END = 4505,       // "</table>"
  IDS_HTML_ERRORLIST = 4506,              // "<ul class=\"errorlist\">"
  IDS_HTML_RETRY_RXDEVICE = 4507,         // "RetryText": "LinkRxRetry", "LinkIntro"
  IDS_HTML_RETRY_TXSERVER = 4508,         // "RetryText": "LinkTxRetry", "LinkIntro"
  IDS_HTML_STATUS_TABLE = 4509,           // status table opening; %s = element id
  IDS_HTML_BUTTON_OK = 4510,              // "RetryText": "LinkIntro" "OK"
  IDS_HTML_BUTTON_CANCEL = 4511,          // "RetryText": "LinkIntro" "Cancel"
  IDS_HTML_MSG_LIST = 4512,               // "<ul class=\"list_agent\">"
  IDS_HTML_MSG_LIST_END = 4513,           // "</ul>"
  IDS_HTML_TASK_TABLE = 4514,             // task table opening
  IDS_HTML_TASK_TABLE_END = 4515,         // "</table>"
  IDS_HTML_ACTIVITY_TABLE = 4516,         // activity table opening with its columns
  IDS_HTML_ACTIVITY_TABLE_END = 4517,     // "</table>"
  IDS_HTML_CANCEL_RXDEVICE = 4518,        // "RetryText": "LinkCancelRxDevice"
  IDS_HTML_CANCEL_TXDEVICE = 4519,        // "RetryText": "LinkCancelTxDevice"
  IDS_HTML_RETRY_TXDEVICE = 4520,         // "RetryText": "LinkTxDeviceRetry", "LinkIntro"
  IDS_HTML_TRACK_TABLE = 4521,            // track table opening with its columns
  IDS_HTML_TRACK_TABLE_END = 4522,        // "</table>"
  IDS_HTML_MAIN_MENU = 4523,              // "RetryText": "LinkIntro" "Main Menu"
  IDS_HTML_VIEW_INBOX = 4524,             // "RetryText": "LinkViewInbox" "View Inbox"

  // The application title, which names the settings profile.
  IDS_APP_TITLE = 57344,  // "QVAgent"
};
