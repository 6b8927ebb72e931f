// The file-association library: makes the agent the handler of .gpx (type 0)
// and .kml (type 1) files in the class registry (HKEY_CLASSES_ROOT), tests
// whether it is, and undoes it, giving each extension back to the program
// that had it before. The same calls keep the desktop's side in step: the
// agent's desktop entry and the user's default handlers in mimeapps.list.
//
// The agent links the library at load time; the package's scripts call the
// two install-time functions with the folder the agent is installed in.
#pragma once

#if defined(QVINSTALL_BUILD)
#define QVINSTALL_EXPORT __attribute__((visibility("default")))
#else
#define QVINSTALL_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

// 1 when the extension, its file type, icon, open verb and command all name
// the agent at exePath (compared exactly); else 0.
QVINSTALL_EXPORT int QVInstall_IsFileTypeAssociated(const char* exePath, int type);
// Associates (associate non-zero) or dissociates the type.
QVINSTALL_EXPORT void QVInstall_SetFileTypeAssociation(const char* exePath, int type, int associate);
// Install time: .gpx associated and .kml offered, for the agent in installDir.
// Returns 1.
QVINSTALL_EXPORT unsigned QVInstall_CreateDefaultRegistryFileAssociations(const char* installDir);
// Uninstall time: every trace removed and previous owners restored. Returns 1.
QVINSTALL_EXPORT unsigned QVInstall_RemoveRegistryFileAssociations(const char* installDir);

#ifdef __cplusplus
}
#endif
