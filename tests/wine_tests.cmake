# Tiers 2 and 3: the Windows test programs run under Wine. Test programs and their helpers
# go to tests/bin together with the stand-in rasapi32.dll, which Wine loads in place of its own
# (WINEDLLOVERRIDES=rasapi32=n, set by tools/wine-env.sh) for the tests that import it; the
# stand-ins of Windows' own tools and of the remote-access service, which the programs load from
# the system folder, go into the prefixes' system folders (tools/install-standins.sh, run by
# wine-up).

set(VELMORA_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)
set(VELMORA_TEST_BIN ${CMAKE_BINARY_DIR}/tests/bin)
set(VELMORA_TOOLS ${CMAKE_CURRENT_SOURCE_DIR}/tools)

add_library(velmora_win32_test_support STATIC win32/temp_folder.cpp win32/wine_windows.cpp)
target_link_libraries(velmora_win32_test_support PUBLIC velmora_platform_win32)

add_executable(velmora_test_child win32/test_child.cpp)
target_link_options(velmora_test_child PRIVATE -municode)
target_link_libraries(velmora_test_child PRIVATE velmora_platform_win32)

add_executable(velmora_win32_tests
  win32/processes_test.cpp
  win32/shell_folders_test.cpp
  win32/remote_access_test.cpp
  win32/sim_rasapi32_test.cpp
  win32/event_loop_test.cpp
  win32/exe_imports_test.cpp
  win32/exe_resources_test.cpp
  win32/text_files_test.cpp
  win32/registry_test.cpp
  win32/connection_list_test.cpp
  win32/hardware_code_test.cpp
  win32/ip_address_table_test.cpp
  win32/file_operations_test.cpp
  win32/windows_version_test.cpp
  win32/command_line_test.cpp
  win32/tool_runner_test.cpp
  win32/wow64_test.cpp
  win32/system_library_test.cpp
  win32/log_file_test.cpp
  win32/msi_tables_test.cpp
  win32/service_pipe_test.cpp
  win32/service_channel_test.cpp
  win32/service_host_test.cpp
  win32/service_registration_test.cpp
  win32/private_folder_test.cpp
  win32/sim_journal_test.cpp
  win32/install_folder_test.cpp
  win32/msi_service_action_test.cpp
  win32/msi_profile_actions_test.cpp
)
target_link_libraries(velmora_win32_tests PRIVATE
  velmora_core velmora_fakes velmora_win32_test_support velmora_sim_state velmora_service_host velmora_install_folder
  GTest::gtest_main)
# The tests that call the stand-in remote-access service directly import it.
target_link_libraries(velmora_win32_tests PRIVATE version iphlpapi ole32 rasapi32 msi)
add_dependencies(velmora_win32_tests velmora_msi)
target_compile_definitions(velmora_win32_tests PRIVATE VELMORA_EXE="Z:${VELMORA_PROGRAMS_DIR}/velmora.exe"
  VELMORA_MSI="Z:${CMAKE_BINARY_DIR}/installer/velmora.msi" VELMORA_UPGRADE_CODE="${VELMORA_UPGRADE_CODE}"
  VELMORA_IPSEC_EXE="Z:${VELMORA_PROGRAMS_DIR}/velmora-ipsec.exe" VELMORA_PROGRAMS_DIR="Z:${VELMORA_PROGRAMS_DIR}"
  VELMORA_SERVICE_EXE="Z:${VELMORA_PROGRAMS_DIR}/velmora-service.exe"
  VELMORA_VERSION="${PROJECT_VERSION}" VELMORA_COPYRIGHT_YEAR="${VELMORA_COPYRIGHT_YEAR}"
  VELMORA_HELP_URL="${VELMORA_HELP_URL}" VELMORA_CONTACT="${VELMORA_CONTACT}")

# getversion as a program starting up: Wine gives each program its Windows version at start.
add_executable(velmora_version_probe win32/version_probe.cpp)
target_link_options(velmora_version_probe PRIVATE -municode)
target_link_libraries(velmora_version_probe PRIVATE velmora_core velmora_platform_win32)

# The driver of the main window, and the window's own tests with a recording FormEvents.
add_library(velmora_window_driver STATIC e2e/window_driver.cpp)
target_link_libraries(velmora_window_driver PUBLIC velmora_ui velmora_platform_win32 velmora_win32_test_support user32)

# The end-to-end programs: the environment, the dialer, and velmora.exe driven as a user would.
add_executable(velmora_e2e_tests
  e2e/environment_test.cpp
  e2e/dialer_e2e_test.cpp
  e2e/policy_tool_e2e_test.cpp
  e2e/velmora_app.cpp
  e2e/app_session.cpp
  e2e/tray_shell.cpp
  e2e/app_e2e_test.cpp
  e2e/windows_versions_test.cpp
  e2e/trust_e2e_test.cpp
  e2e/logon_start_e2e_test.cpp
)
target_link_libraries(velmora_e2e_tests PRIVATE
  velmora_fakes velmora_win32_test_support velmora_window_driver velmora_sim_state iphlpapi GTest::gtest_main)
target_compile_definitions(velmora_e2e_tests PRIVATE VELMORA_PROGRAMS_DIR="Z:${VELMORA_PROGRAMS_DIR}")

add_executable(velmora_window_tests e2e/main_window_test.cpp e2e/window_under_test.cpp e2e/session_end_reasons.cpp)
target_link_libraries(velmora_window_tests PRIVATE
  velmora_window_driver velmora_ui_win32 velmora_resources GTest::gtest_main)

# The fuzz target of the service's request reading, run over its seeds and a fixed set of inputs
# made from them, where libFuzzer is not at hand.
add_executable(velmora_service_request_fuzz fuzz/service_request_fuzz.cpp fuzz/fuzz_driver.cpp)
target_link_libraries(velmora_service_request_fuzz PRIVATE velmora_core GTest::gtest_main)
target_compile_definitions(velmora_service_request_fuzz PRIVATE
  VELMORA_FUZZ_SEEDS="Z:${CMAKE_CURRENT_SOURCE_DIR}/fuzz/service_seeds")

set(wine_programs velmora_unit_tests velmora_test_child velmora_version_probe velmora_win32_tests velmora_e2e_tests
    velmora_window_tests velmora_service_request_fuzz)
set_target_properties(${wine_programs} PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${VELMORA_TEST_BIN}
  CROSSCOMPILING_EMULATOR ${VELMORA_TOOLS}/wine-run.sh)

# The programs and the stand-ins come from the nested build; bring the stand-in DLL here, and the
# policy tool, which the service's host in the Win32 tests runs from its own folder as installed.
add_custom_target(velmora_test_standins ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMORA_TEST_BIN}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VELMORA_PROGRAMS_DIR}/rasapi32.dll ${VELMORA_TEST_BIN}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VELMORA_PROGRAMS_DIR}/velmora-ipsec.exe ${VELMORA_TEST_BIN}
  DEPENDS programs
  COMMENT "Copying the stand-in rasapi32.dll and the policy tool beside the test programs")

# A virtual display, the prefixes and a persistent wineserver, around every Wine test.
add_test(NAME wine-up COMMAND ${VELMORA_TOOLS}/wine-up.sh)
add_test(NAME wine-down COMMAND ${VELMORA_TOOLS}/wine-down.sh)
set_tests_properties(wine-up PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine-down PROPERTIES FIXTURES_CLEANUP wine)

add_test(NAME tier2-unit
         COMMAND velmora_unit_tests --gtest_output=xml:Z:${VELMORA_RESULTS_DIR}/tier2-unit.xml)
add_test(NAME tier2-win32
         COMMAND velmora_win32_tests --gtest_output=xml:Z:${VELMORA_RESULTS_DIR}/tier2-win32.xml)
add_test(NAME tier2-service-request-fuzz
         COMMAND velmora_service_request_fuzz
                 --gtest_output=xml:Z:${VELMORA_RESULTS_DIR}/tier2-service-request-fuzz.xml)
# What the build ships, each signed by the certificate the build was given, when it was given one.
if(VELMORA_SIGNER)
  add_test(NAME tier2-signatures
           COMMAND ${VELMORA_TOOLS}/verify-signatures.sh ${VELMORA_RESULTS_DIR}/tier2-signatures.xml ${VELMORA_SIGN_PFX}
                   ${VELMORA_PROGRAMS_DIR}/velmora.exe ${VELMORA_PROGRAMS_DIR}/velmora-service.exe
                   ${VELMORA_PROGRAMS_DIR}/velmora-ipsec.exe ${VELMORA_PROGRAMS_DIR}/velmora-msi.dll
                   ${CMAKE_BINARY_DIR}/installer/velmora-setup.exe ${CMAKE_BINARY_DIR}/installer/velmora.msi)
  set_tests_properties(tier2-signatures PROPERTIES
    ENVIRONMENT "VELMORA_SIGN_PASSWORD_FILE=${VELMORA_SIGN_PASSWORD_FILE}")
endif()
add_test(NAME tier3-e2e
         COMMAND ${VELMORA_TOOLS}/wine-in-namespace.sh $<TARGET_FILE:velmora_e2e_tests>
                 --gtest_filter=-AppScenario.*:Each*/*:Releases/*:OnWindows*:StartWith*
                 --gtest_output=xml:Z:${VELMORA_RESULTS_DIR}/tier3-e2e.xml)
# velmora.exe's scenarios, each in a namespace and a Wine session of its own.
set(app_scenarios
  firstStartWithoutSettingsShowsTheFallbacksAndWritesNothing
  registrySwitchNotSetAsksForARestartAndEnds
  aSecondStartBringsTheRunningWindowForward
  plainPptpConnectDialsRoutesAndGoesToTheTray
  plainConnectThatFailsSaysSoAndStaysIdle
  hardwareCodeOnShowsTheCodeAtStartUp
  ipsecSessionAppliesPolicyDialsWatchesTheLinkAndStops
  settingsWithIpsecOnWhileConnectedWarnAndHangUpAtStartUp
  autoDialRedialsADroppedLink
  exitFromTheTrayWithdrawsThePolicyAndHangsUp
  anUnknownOptionPrintsTheOptionsToTheScriptAndEndsAtOnce
  scriptsConnectStopAndAskTheStatusOfTheRunningProgram
  aScriptsConnectStartsTheProgramInTheTrayAndItsExitEndsItOnceThePolicyIsWithdrawn
  theEndOfTheWindowsSessionShutsDownAsAClose
  theEndOfTheWindowsSessionDuringACloseReturnsOnlyOnceTheCleanUpIsDone
  stopDuringTheReapplyHasTheLastWord
  autoDialWithABlankPasswordKeepsOneMessageAndDialsNothing
  stopHoldsWithAutoDialOn
  stopAndConnectFromTheTrayLeaveTheWindowThere
  theFocusComesBackToAUsableControlFromTheTray
  aServerThatCannotBeReachedOpensTheAdvancedOptionsWhichStayInViewAfterTheTray
  aHeldLogKeepsNoConnectBackAndTheTrayOpensItInNotepadWhichEndsWithTheExit
  aServerFixedByPolicyIsShownReadOnlyAndDialledAndTheUsersOwnReturnsWithoutIt
)
# A session the user can trust: the policy in force for every link, tools from known folders, a
# dial that keeps the window alive and can be stopped.
list(APPEND app_scenarios
  OnWindows10.aRedialThatBringsANewAddressIsProtectedForIt
  OnWindows10.aLinkUpAtConnectIsProtectedForTheAddressItObtained
  OnWindows10.aResumeAndTheNextTickHangUpALinkWhoseTunnelIsGoneAndRedial
  OnWindows10.aFailingNetshStepStopsConnectBeforeTheDial
  OnWindows10.aLocalPolicyAssignedBeforeIsAssignedAgainAfterStop
  OnWindows10.toolsPlantedInTheFolderItStartsFromNeverRun
  OnWindows10.theFilesItKeepsGrantNothingToOthersAndADialReadsItsOwnPhonebook
  OnWindows10.theWindowAnswersDuringADialAndTheTraysStopEndsIt
  OnWindows10.closingDuringADialEndsItAndThenTheProgram
  OnWindowsXp.stopAfterTheKeyWasEditedWithdrawsWhatWasApplied
  OnWindowsXp.theTunnelsOwnIpsecAndPptpFailuresGetTheirAdvice
)
# 登录时启动: the Run key's value, into which an earlier version's logon task is moved from Vista on.
list(APPEND app_scenarios
  StartWithWindows10.anEarlierVersionsLogonTaskBecomesTheRunValueAtTheFirstStart
  StartWithWindowsXp.theUsersRunValueStartsTheProgramInTheTray
)
set(app_tests)
foreach(scenario IN LISTS app_scenarios)
  if(scenario MATCHES "\\.")
    set(filter ${scenario})
    string(REPLACE "." "-" name ${scenario})
  else()
    set(filter AppScenario.${scenario})
    set(name ${scenario})
  endif()
  add_test(NAME tier3-app-${name}
           COMMAND ${VELMORA_TOOLS}/wine-in-namespace.sh $<TARGET_FILE:velmora_e2e_tests>
                   --gtest_filter=${filter}
                   --gtest_output=xml:Z:${VELMORA_RESULTS_DIR}/tier3-app-${name}.xml)
  list(APPEND app_tests tier3-app-${name})
endforeach()
# The window closed during each run of the policy tool in Connect, in the link watch's re-apply
# and in Stop, and the tray at each DPI: <suite>:<rows>.
foreach(entry IN ITEMS AppClosedInConnect:2 AppClosedInTheReapply:4 AppClosedInStop:2 AppTrayAtDpi:2)
  string(REPLACE ":" ";" entry ${entry})
  list(GET entry 0 suite)
  list(GET entry 1 rows)
  math(EXPR last "${rows} - 1")
  foreach(row RANGE ${last})
    set(name tier3-app-${suite}-${row})
    add_test(NAME ${name}
             COMMAND ${VELMORA_TOOLS}/wine-in-namespace.sh $<TARGET_FILE:velmora_e2e_tests>
                     --gtest_filter=Each*/${suite}.*/${row}
                     --gtest_output=xml:Z:${VELMORA_RESULTS_DIR}/${name}.xml)
    list(APPEND app_tests ${name})
  endforeach()
endforeach()

# velmora.exe as each Windows it runs on reports itself, each in a namespace and a Wine session of
# its own: the policy tool's lines up to Server 2003, netsh's store from Vista on.
set(windows_releases windows2000 windowsXp windowsXpBeforeServicePack2 windowsServer2003 windowsVista windows7
    windows10)
foreach(release IN LISTS windows_releases)
  add_test(NAME tier3-windows-${release}
           COMMAND ${VELMORA_TOOLS}/wine-in-namespace.sh $<TARGET_FILE:velmora_e2e_tests>
                   --gtest_filter=Releases/WindowsVersions.*/${release}
                   --gtest_output=xml:Z:${VELMORA_RESULTS_DIR}/tier3-windows-${release}.xml)
  list(APPEND app_tests tier3-windows-${release})
endforeach()

# velmora-setup.exe's scenarios, each in a namespace and a Wine session of its own, with Wine
# reporting Windows 2000 and then Windows 10 to the installer and the programs it installs; the
# pictures of its pages go to the artefacts folder.
add_executable(velmora_installer_tests e2e/installer_test.cpp)
target_link_libraries(velmora_installer_tests PRIVATE
  velmora_win32_test_support velmora_window_driver velmora_sim_state ole32 uuid GTest::gtest_main)
target_compile_definitions(velmora_installer_tests PRIVATE VELMORA_PROGRAMS_DIR="Z:${VELMORA_PROGRAMS_DIR}"
  VELMORA_SETUP="Z:${CMAKE_BINARY_DIR}/installer/velmora-setup.exe" VELMORA_VERSION="${PROJECT_VERSION}"
  VELMORA_HELP_URL="${VELMORA_HELP_URL}" VELMORA_CONTACT="${VELMORA_CONTACT}")
set_target_properties(velmora_installer_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELMORA_TEST_BIN})
add_dependencies(velmora_installer_tests velmora_setup)
# velmora.msi's scenarios beside them, with an older package of the same product (test equipment:
# this build's files under another version).
velmora_add_msi(velmora_msi_older ${VELMORA_TEST_BIN}/velmora-older.msi 0.9.0)
# A newer version than the older one whose installation fails at its last step.
velmora_add_msi(velmora_msi_failing ${VELMORA_TEST_BIN}/velmora-failing.msi 0.9.5 FAILING_LAST)
add_dependencies(velmora_installer_tests velmora_msi velmora_msi_older velmora_msi_failing)
target_link_libraries(velmora_installer_tests PRIVATE msi)
target_compile_definitions(velmora_installer_tests PRIVATE
  VELMORA_MSI="Z:${CMAKE_BINARY_DIR}/installer/velmora.msi" VELMORA_MSI_CODE="{${velmora_msi_product_code}}"
  VELMORA_MSI_OLDER="Z:${VELMORA_TEST_BIN}/velmora-older.msi" VELMORA_MSI_OLDER_CODE="{${velmora_msi_older_product_code}}"
  VELMORA_MSI_FAILING="Z:${VELMORA_TEST_BIN}/velmora-failing.msi")
set(msi_scenarios
  silentInstallGivesTheProfileAndTheServiceRunsTheConnectAndTakesItBackFromAKilledWindow
  aStartBeforeTheRestartRemindsTheUserAndGoesOn
  anUpgradeReplacesTheOlderVersionInPlaceKeepsTheProfileAndRefusesTheDowngrade
  theUninstallGivesTheSwitchBackAndRemovesWhatItInstalled
  anUpgradeThatFailsLeavesTheOlderVersionItsProfileAndTheSwitch
  refusedInstallationsWriteNothingAndSetupsInstallationGoesFirst
  velmoraSetupIsRefusedWhileThePackageIsInstalledAndWritesNothing
)
foreach(scenario IN LISTS msi_scenarios)
  add_test(NAME tier3-msi-${scenario}
           COMMAND ${VELMORA_TOOLS}/wine-in-namespace.sh $<TARGET_FILE:velmora_installer_tests>
                   --gtest_filter=Windows/MsiScenario.${scenario}/win10
                   --gtest_output=xml:Z:${VELMORA_RESULTS_DIR}/tier3-msi-${scenario}.xml)
  list(APPEND app_tests tier3-msi-${scenario})
endforeach()
set(installer_scenarios
  wineReportsTheScenariosWindowsVersion
  silentInstallPutsTheFilesTheShortcutsAndTheUninstallEntryAndStartsTheService
  theStartMenuShortcutStartsADefaultGatewayDialThatFindsThePhonebook
  silentUninstallRemovesWhatItInstalledAndKeepsTheUsersFiles
  installAndUninstallAreRefusedWhileVelmoraRunsOrItsServiceCannotGoAndAnUpgradeReplacesIt
  silentInstallSetsTheSwitchAndTheUninstallPutsBackWhatItFound
  withoutARestartTheFinishPageRunsVelmoraAndTheUninstallerSaysWhatItPutBack
  afterAChangeOfTheSwitchBothFinishPagesOfferTheRestartForLater
)
foreach(version win2k win10)
  foreach(scenario IN LISTS installer_scenarios)
    add_test(NAME tier3-setup-${scenario}-${version}
             COMMAND ${VELMORA_TOOLS}/wine-in-namespace.sh $<TARGET_FILE:velmora_installer_tests>
                     --gtest_filter=Windows/InstallerScenario.${scenario}/${version}
                     --gtest_output=xml:Z:${VELMORA_RESULTS_DIR}/tier3-setup-${scenario}-${version}.xml)
    list(APPEND app_tests tier3-setup-${scenario}-${version})
  endforeach()
endforeach()

# The window at the usual 96 DPI and at 120 DPI, where the layout must scale; the screenshots
# go to the artefacts folder.
set(VELMORA_ARTEFACTS ${CMAKE_BINARY_DIR}/artefacts)
file(MAKE_DIRECTORY ${VELMORA_ARTEFACTS})
add_test(NAME tier3-window
         COMMAND ${VELMORA_TOOLS}/wine-at-dpi.sh 96 $<TARGET_FILE:velmora_window_tests>
                 --gtest_output=xml:Z:${VELMORA_RESULTS_DIR}/tier3-window.xml)
add_test(NAME tier3-window-120dpi
         COMMAND ${VELMORA_TOOLS}/wine-at-dpi.sh 120 $<TARGET_FILE:velmora_window_tests>
                 --gtest_filter=*Dpi*:*DesignPlace*:*Twips*:*Font*:*centres*:MainWindowScreenshot.*
                 --gtest_output=xml:Z:${VELMORA_RESULTS_DIR}/tier3-window-120dpi.xml)
set_tests_properties(tier3-window tier3-window-120dpi PROPERTIES ENVIRONMENT
  "VELMORA_WINE_ROOT=${VELMORA_WINE_ROOT};VELMORA_ARTEFACTS=${VELMORA_ARTEFACTS}")
# Windows on one display take the focus from each other, and the DPI is the prefix's.
set_tests_properties(tier3-window tier3-window-120dpi PROPERTIES FIXTURES_REQUIRED wine RUN_SERIAL ON)

set_tests_properties(wine-up PROPERTIES
  ENVIRONMENT "VELMORA_WINE_ROOT=${VELMORA_WINE_ROOT};VELMORA_STANDINS=${VELMORA_PROGRAMS_DIR}")
set_tests_properties(wine-down tier2-unit tier2-win32 tier2-service-request-fuzz PROPERTIES
  ENVIRONMENT "VELMORA_WINE_ROOT=${VELMORA_WINE_ROOT}")
set_tests_properties(tier3-e2e ${app_tests} PROPERTIES ENVIRONMENT
  "VELMORA_WINE_ROOT=${VELMORA_WINE_ROOT};VELMORA_WINE_PREFIX=${VELMORA_WINE_ROOT}/prefix-e2e;VELMORA_ARTEFACTS=${VELMORA_ARTEFACTS}")
set_tests_properties(tier2-unit tier2-win32 tier2-service-request-fuzz tier3-e2e ${app_tests} PROPERTIES
  FIXTURES_REQUIRED wine)
# The end-to-end tier stops and starts its own wineserver; keep it apart from the others.
set_tests_properties(tier3-e2e ${app_tests} PROPERTIES RUN_SERIAL ON)
