#include "app/PagePrefs.h"

#include <string>

#include "app/PageText.h"
#include "platform/HtmlView.h"
#include "util/Util.h"

namespace {

bool ReadChecked(CHtmlView& view, const char* id) {
  bool checked = false;
  view.GetChecked(id, checked);
  return checked;
}

std::string ReadValue(CHtmlView& view, const char* id) {
  std::string value;
  view.GetValue(id, value);
  return value;
}

}  // namespace

void FillPreferences(CHtmlView& view) {
  view.SetInnerHtml("Version", CUtil::EscapeMarkup(CUtil::GetVersion()));
  view.SetValue("EditUsername", CUtil::GetAccountName());
  view.SetValue("EditEmail", CUtil::GetEmail());
  view.SetChecked("CheckPower", CUtil::GetPowerdown());
  view.SetChecked("CheckTaskbar", CUtil::GetTaskbarIcon());
  view.SetChecked("CheckMultiDevices", CUtil::GetMultipleDevices());
  view.SetChecked(CUtil::GetEditActivities() ? "RadioSendEdit" : "RadioSendNew", true);
}

void SavePreferences(CHtmlView& view) {
  CUtil::SetAccountName(ReadValue(view, "EditUsername"));
  CUtil::SetEmail(ReadValue(view, "EditEmail"));
  CUtil::SetPowerdown(ReadChecked(view, "CheckPower"));
  CUtil::SetTaskbarIcon(ReadChecked(view, "CheckTaskbar"));
  CUtil::SetEditActivities(ReadChecked(view, "RadioSendEdit"));
  CUtil::SetMultipleDevices(ReadChecked(view, "CheckMultiDevices"));
}
