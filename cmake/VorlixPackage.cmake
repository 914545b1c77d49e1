# The release package: `make package` builds the 32-bit tree and runs CPack on it, which gives a
# ZIP of the programs, the operator's tools, the reference application, the example installation
# with its catalogues, the registry values an installer writes and the installation guide.
install(TARGETS VorlixSentinel Sedrin RUNTIME DESTINATION bin)
install(TARGETS SentinelControl MailSlotPeer ReferenceApp RUNTIME DESTINATION tools)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/installation DESTINATION examples)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vorlix.reg DESTINATION registry)
install(FILES ${PROJECT_SOURCE_DIR}/docs/INSTALL.txt
              ${PROJECT_SOURCE_DIR}/README.md DESTINATION docs)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Vorlix)
set(CPACK_PACKAGE_VENDOR Vorlix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Vorlix runtime core: watchdog, configuration initializer and tools")
# Vorlix-<version>-win32.zip, unpacking into one directory of the same name.
set(CPACK_SYSTEM_NAME win32)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# Only the runtime: the test programs of the tree are not installed.
set(CPACK_STRIP_FILES OFF)
include(CPack)
