// qv-page-preview: the agent's pages in the browser with sample content, for
// looking at them before the main window exists. Nothing is sent or stored:
// links move between the pages, the choice pages show sample activities with
// their routes, and the overlays open without changing anything.
//   qv-page-preview [--no-browser]
#include <cmath>
#include <cstdio>
#include <string>

#include "app/ChoiceTables.h"
#include "app/ImportBrowse.h"
#include "app/PageResources.h"
#include "app/PageStatus.h"
#include "data/GpsDataProfile.h"
#include "data/GpsDataSet.h"
#include "data/GpsDataTrack.h"
#include "data/GpsDataTrackPoint.h"
#include "data/GpsUnits.h"
#include "platform/BrowserHost.h"
#include "platform/MessageWindow.h"
#include "threads/MsgFeed.h"
#include "threads/StatusList.h"

namespace {

// Three loops of different shapes, a day apart.
void FillSample(CGpsDataSet& set) {
  CGpsDataProfile* profile = set.AddProfile();
  profile->id = "run";
  profile->description = "Running";
  for (int t = 0; t < 3; ++t) {
    CGpsDataTrack* track = set.AddTrack("Morning loop " + std::to_string(t + 1), -1);
    track->profile = "run";
    for (int i = 0; i <= 600; ++i) {
      const double a = i * 2 * M_PI / 600;
      const double lat = 47.37 + 0.01 * std::sin(a) * (1 + 0.3 * t * std::cos(3 * a));
      const double lon = 8.54 + 0.015 * std::cos(a) * (1 + 0.2 * t);
      CGpsDataTrackPoint* point = track->AddPoint(0);
      point->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME, 1116661831 + t * 86400 + i * 5);
      point->AddIntPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_SEMICIRCLES,
                        static_cast<int>(lat * DEGREES_TO_SEMICIRCLES),
                        static_cast<int>(lon * DEGREES_TO_SEMICIRCLES));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const bool noBrowser = argc > 1 && std::string(argv[1]) == "--no-browser";
  CMessageWindow window;
  CBrowserHost host(PageResources(), [&](std::function<void()> task) { window.PostTask(std::move(task)); });
  CGpsDataSet sample;
  FillSample(sample);
  CMsgFeed feed;
  feed.ParseText(
      "<rss><channel><title>Announcements</title><item><title>Welcome</title><link>https://example.org/</"
      "link>"
      "<description>This is a preview of the agent's pages.</description></item></channel></rss>");

  auto onLoad = [&](const std::string&) {
    switch (host.GetPage()) {
      case 105:
        BuildTaskTable(host, false, true, "https://example.org/activities");
        DisplayMessages(host, feed);
        break;
      case 107:
      case 108:
      case 192: {
        CStatusList list;
        list.Append(STATUS_INFO, "Searching for supported devices.");
        list.Append(STATUS_DONE, "Data transfer complete for Forerunner 305 on USB");
        list.Append(STATUS_BUSY,
                    "Retrieving data from Edge 705 on USB: <span id=\"Progress\"><b>0%</b></span>");
        DisplayStatusList(host, list, "RxStatusSection");
        DisplayStatusList(host, list, "TxStatusSection");
        DisplayProgress(host, 42);
        DisplayMessages(host, feed);
        host.SetInnerHtml(
            "RetryText",
            "<p><input type=\"button\" class=\"blue\" id=\"PreviewChoose\" value=\"Choose activities\">"
            "&nbsp;<input type=\"button\" class=\"blue\" id=\"PreviewTracks\" value=\"Choose tracks\">"
            "&nbsp;<input type=\"button\" class=\"blue\" id=\"LinkIntro\" value=\"Main Menu\"></p>");
        break;
      }
      case 106:
        host.SetValue("EditUsername", "preview");
        host.SetChecked("RadioSendNew", true);
        host.SetInnerHtml("Version", "2.3.0.0");
        break;
      case 109:
        host.SetChecked("RadioSendDevice", true);
        break;
      case 110:
        BuildActivityTable(host, sample);
        break;
      case 193:
        BuildTrackTable(host, sample);
        break;
    }
  };
  auto onClick = [&](const std::string& id) {
    const struct {
      const char* prefix;
      unsigned page;
    } links[] = {{"LinkIntro", 105},       {"LinkPrefs", 106},       {"LinkRxDevice", 107},
                 {"LinkTxServer", 108},    {"LinkImport", 109},      {"PreviewChoose", 110},
                 {"PreviewTracks", 193},   {"LinkImportSend", 192},  {"LinkSavePrefs", 105},
                 {"LinkEditHistory", 105}, {"LinkEditTxTracks", 105}};
    if (id == "ButtonExit") return window.Quit(0);
    if (id == "LinkFileAssoc") {
      return host.ShowChecks(
          "File Type Associations", "Select the file type(s) that will be associated with Tavelnor Agent.",
          {{"GPS Exchange Format (.gpx)", true, false}, {"Google Earth (.kml)", false, true}},
          [](bool, const std::vector<bool>&) {});
    }
    if (id == "LinkImportBrowse") return BrowseImportFile(host);
    for (const auto& link : links) {
      if (id.rfind(link.prefix, 0) == 0) {
        host.LoadPage(link.page);
        return;
      }
    }
  };
  host.SetEvents({onLoad, onClick, [&](const std::string& keys) { std::printf("keys %s\n", keys.c_str()); },
                  [&] { window.Quit(0); }});
  if (!host.Start()) {
    std::fprintf(stderr, "qv-page-preview: cannot serve on loopback\n");
    return 1;
  }
  host.LoadPage(105);
  if (noBrowser || !host.OpenBrowser()) std::printf("%s\n", host.GetStartUrl().c_str());
  std::fflush(stdout);
  const int code = window.Run();
  host.Stop();
  return code;
}
