// The association library against a temporary class registry and XDG folders.
#include <gtest/gtest.h>

#include "QVInstall.h"
#include "platform/Registry.h"
#include "support/TestEnv.h"

namespace {

constexpr const char* kExe = "/opt/tavelnor/qvagent";
constexpr const char* kGpxMime = "application/gpx+xml";
constexpr const char* kDesktopId = "tavelnor-qvagent.desktop";

class QVInstallTest : public ::testing::Test {
protected:
  CRegistry& Classes() { return CRegistry::Hive(RegHive::ClassesRoot); }
  std::string Get(const std::string& key, const std::string& name = "") {
    std::string text;
    return Classes().GetString(key, name, text) ? text : "<none>";
  }
  // The desktop's default handler of mimeType in mimeapps.list; empty when none.
  std::string Default(const std::string& mimeType) {
    const std::string text = qvtest::ReadFile(m_home.ConfigHome() / "mimeapps.list");
    const size_t section = text.find("[Default Applications]");
    if (section == std::string::npos) return {};
    const size_t line = text.find("\n" + mimeType + "=", section);
    if (line == std::string::npos) return {};
    const size_t start = line + mimeType.size() + 2;
    return text.substr(start, text.find_first_of(";\n", start) - start);
  }
  std::filesystem::path EntryPath() { return m_home.DataHome() / "applications" / kDesktopId; }
  void SetMimeDefault(const std::string& line) {
    qvtest::WriteFile(
        m_home.ConfigHome() / "mimeapps.list",
        "[Added Associations]\ntext/plain=editor.desktop;\n\n[Default Applications]\n" + line + "\n");
  }

  qvtest::CIsolatedHome m_home;
};

TEST_F(QVInstallTest, AssociateOverAnotherProgramAndGiveBack) {
  Classes().SetString(".gpx", "", "Other.gpx");
  SetMimeDefault(std::string(kGpxMime) + "=other-viewer.desktop;");
  EXPECT_EQ(QVInstall_IsFileTypeAssociated(kExe, 0), 0);

  QVInstall_SetFileTypeAssociation(kExe, 0, 1);
  EXPECT_EQ(QVInstall_IsFileTypeAssociated(kExe, 0), 1);
  EXPECT_EQ(QVInstall_IsFileTypeAssociated("/opt/Tavelnor/qvagent", 0), 0) << "case matters";
  EXPECT_EQ(Get(".gpx", "QVPrevious"), "Other.gpx");
  EXPECT_EQ(Get("Tavelnor Agent.gpxfile", "DefaultIcon"), std::string(kExe) + ",0");
  EXPECT_EQ(Get("Tavelnor Agent.gpxfile\\shell\\open\\command"), std::string(kExe) + " \"%1\"");
  EXPECT_EQ(Default(kGpxMime), kDesktopId);
  const std::string entry = qvtest::ReadFile(EntryPath());
  EXPECT_NE(entry.find("Exec=\"/opt/tavelnor/qvagent\" %f"), std::string::npos);
  EXPECT_NE(entry.find("MimeType=application/gpx+xml;application/vnd.google-earth.kml+xml;"),
            std::string::npos);

  // Twice: the previous owner is not overwritten by the agent's own type.
  QVInstall_SetFileTypeAssociation(kExe, 0, 1);
  EXPECT_EQ(Get(".gpx", "QVPrevious"), "Other.gpx");

  QVInstall_SetFileTypeAssociation(kExe, 0, 0);
  EXPECT_EQ(QVInstall_IsFileTypeAssociated(kExe, 0), 0);
  EXPECT_EQ(Get(".gpx"), "Other.gpx");
  EXPECT_EQ(Get(".gpx", "QVPrevious"), "<none>");
  EXPECT_FALSE(Classes().KeyExists("Tavelnor Agent.gpxfile"));
  EXPECT_EQ(Get("Other.gpx\\shell\\open_with_tavelnor_agent"), "Open with Tavelnor Agent");
  EXPECT_EQ(Get("Other.gpx\\shell\\open_with_tavelnor_agent\\command"), std::string(kExe) + " \"%1\"");
  EXPECT_EQ(Default(kGpxMime), "other-viewer.desktop");
  EXPECT_NE(qvtest::ReadFile(m_home.ConfigHome() / "mimeapps.list").find("text/plain=editor.desktop;"),
            std::string::npos)
      << "other lines stay";

  // Associating again takes the open-with command off the other program's type.
  QVInstall_SetFileTypeAssociation(kExe, 0, 1);
  EXPECT_FALSE(Classes().KeyExists("Other.gpx\\shell\\open_with_tavelnor_agent"));
}

TEST_F(QVInstallTest, UnownedExtensionAndNoPreviousHandler) {
  // Nobody owned .kml: associating and dissociating leaves no key behind.
  QVInstall_SetFileTypeAssociation(kExe, 1, 1);
  EXPECT_EQ(QVInstall_IsFileTypeAssociated(kExe, 1), 1);
  QVInstall_SetFileTypeAssociation(kExe, 1, 0);
  EXPECT_FALSE(Classes().KeyExists(".kml"));
  EXPECT_EQ(Default("application/vnd.google-earth.kml+xml"), "");

  // Dissociating an extension the agent does not own leaves it alone.
  Classes().SetString(".kml", "", "Earth.kml");
  Classes().SetString("Tavelnor Agent.kmlfile", "", "stale");
  QVInstall_SetFileTypeAssociation(kExe, 1, 0);
  EXPECT_EQ(Get(".kml"), "Earth.kml");
  EXPECT_FALSE(Classes().KeyExists("Tavelnor Agent.kmlfile"));
  EXPECT_EQ(Get("Earth.kml\\shell\\open_with_tavelnor_agent"), "Open with Tavelnor Agent");
}

TEST_F(QVInstallTest, InstallAndUninstall) {
  Classes().SetString(".gpx", "", "Other.gpx");
  Classes().SetString(".kml", "", "Earth.kml");
  SetMimeDefault(std::string(kGpxMime) + "=other-viewer.desktop");
  for (const char* folder : {"/opt/tavelnor", "/opt/tavelnor/"}) {
    SCOPED_TRACE(folder);
    EXPECT_EQ(QVInstall_CreateDefaultRegistryFileAssociations(folder), 1u);
    EXPECT_EQ(QVInstall_IsFileTypeAssociated(kExe, 0), 1);
    EXPECT_EQ(QVInstall_IsFileTypeAssociated(kExe, 1), 0);
    EXPECT_EQ(Get("Earth.kml\\shell\\open_with_tavelnor_agent"), "Open with Tavelnor Agent");
  }
  EXPECT_EQ(QVInstall_RemoveRegistryFileAssociations("/opt/tavelnor"), 1u);
  EXPECT_EQ(Get(".gpx"), "Other.gpx");
  EXPECT_EQ(Get(".gpx", "QVPrevious"), "<none>");
  EXPECT_FALSE(Classes().KeyExists("Earth.kml\\shell\\open_with_tavelnor_agent"));
  EXPECT_FALSE(Classes().KeyExists("Tavelnor Agent.gpxfile"));
  EXPECT_EQ(Default(kGpxMime), "other-viewer.desktop");
  EXPECT_FALSE(std::filesystem::exists(EntryPath()));
}

}  // namespace
