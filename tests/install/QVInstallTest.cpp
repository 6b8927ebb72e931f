// The association library against a temporary class registry and XDG folders.
#include <gtest/gtest.h>

#include <cstring>

#include "QVInstall.h"
#include "platform/Registry.h"
#include "support/TestEnv.h"

namespace {

constexpr const char* kExe = "/opt/tavelnor/qvagent";
constexpr const char* kDesktopId = "tavelnor-agent.desktop";

// Associate, test, remove: whatever handled the type before has it back, in
// the class registry and as the desktop's default.
TEST(QVInstallTest, AssociateTestAndRemoveRestoresThePreviousHandler) {
  const struct {
    const char* legend;
    int type;
    const char* ext;
    const char* mimeType;
    const char* previous;  // the extension's owner before; null: none
    const char* previousDefault;
    bool installer;  // through the installer's entries with a folder
  } cases[] = {
      {"gpx owned by another program", 0, ".gpx", "application/gpx+xml", "Other.gpx", "other-viewer.desktop",
       false},
      {"kml owned by nobody", 1, ".kml", "application/vnd.google-earth.kml+xml", nullptr, "", false},
      {"the installer's entries", 0, ".gpx", "application/gpx+xml", "Other.gpx", "other-viewer.desktop",
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    qvtest::CIsolatedHome home;
    CRegistry& classes = CRegistry::Hive(RegHive::ClassesRoot);
    auto get = [&](const std::string& key, const std::string& name = "") {
      std::string text;
      return classes.GetString(key, name, text) ? text : "<none>";
    };
    const auto mimeapps = home.ConfigHome() / "mimeapps.list";
    // The desktop's default handler of the type in mimeapps.list; empty when none.
    auto defaultHandler = [&] {
      const std::string text = qvtest::ReadFile(mimeapps);
      const size_t section = text.find("[Default Applications]");
      const size_t line = text.find("\n" + std::string(c.mimeType) + "=", section);
      if (section == std::string::npos || line == std::string::npos) return std::string();
      const size_t start = line + std::strlen(c.mimeType) + 2;
      return text.substr(start, text.find_first_of(";\n", start) - start);
    };
    if (c.previous) classes.SetString(c.ext, "", c.previous);
    qvtest::WriteFile(mimeapps,
                      "[Added Associations]\ntext/plain=editor.desktop;\n\n[Default Applications]\n" +
                          std::string(c.mimeType) + "=" + c.previousDefault + ";\n");
    EXPECT_EQ(QVInstall_IsFileTypeAssociated(kExe, c.type), 0);

    // Twice: the second must not record the agent as the previous owner.
    for (const char* folder : {"/opt/tavelnor", "/opt/tavelnor/"}) {
      if (c.installer) {
        EXPECT_EQ(QVInstall_CreateDefaultRegistryFileAssociations(folder), 1u);
      } else {
        QVInstall_SetFileTypeAssociation(kExe, c.type, 1);
      }
    }
    EXPECT_EQ(QVInstall_IsFileTypeAssociated(kExe, c.type), 1);
    EXPECT_EQ(QVInstall_IsFileTypeAssociated("/opt/Tavelnor/qvagent", c.type), 0) << "case matters";
    EXPECT_EQ(get(c.ext, "QVPrevious"), c.previous ? c.previous : "<none>");
    EXPECT_EQ(defaultHandler(), kDesktopId);

    if (c.installer) {
      EXPECT_EQ(QVInstall_RemoveRegistryFileAssociations("/opt/tavelnor"), 1u);
      EXPECT_FALSE(std::filesystem::exists(home.DataHome() / "applications" / kDesktopId));
    } else {
      QVInstall_SetFileTypeAssociation(kExe, c.type, 0);
    }
    EXPECT_EQ(QVInstall_IsFileTypeAssociated(kExe, c.type), 0);
    if (c.previous)
      EXPECT_EQ(get(c.ext), c.previous);
    else
      EXPECT_FALSE(classes.KeyExists(c.ext)) << "no key left behind";
    EXPECT_EQ(get(c.ext, "QVPrevious"), "<none>");
    EXPECT_EQ(defaultHandler(), c.previousDefault);
    EXPECT_NE(qvtest::ReadFile(mimeapps).find("text/plain=editor.desktop;"), std::string::npos)
        << "other lines stay";
  }
}

}  // namespace
